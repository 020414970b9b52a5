// Status codes: negative numeric results of a refused or failed call.
#ifndef QUORVEL_HOST_STATUS_H
#define QUORVEL_HOST_STATUS_H

#define ERR_MISSING_FIRST (-1000)
#define ERR_MISSING_SECOND (-1001)
#define ERR_MISSING_TEXT (-1003)
#define ERR_READ_FAILED (-1100)
#define ERR_NO_ARRAY (-1101)
#define ERR_KEY_FAILED (-1102)

// Every name, server name and file path is fetched into a buffer of this size.
#define MAX_NAME_BYTES 260

#endif
