// The conversions of the timestamp format. Nothing here follows the locale.
#include "reading/datetime_format.h"

#include <stdint.h>

namespace qv {
namespace {

const char* const kShortDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                              "Thursday", "Friday", "Saturday"};
const char* const kShortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonths[12] = {"January",   "February", "March",    "April",
                                 "May",       "June",     "July",     "August",
                                 "September", "October",  "November", "December"};

// The result being built; whatever passes the limit is dropped.
class Output {
 public:
  explicit Output(char (&buffer)[kFormatResultBytes]) : buffer_(buffer) {}

  bool full() const { return length_ >= kFormatResultMax; }
  size_t finish() {
    buffer_[length_] = '\0';
    return length_;
  }

  void put(char c) {
    if (!full()) buffer_[length_++] = c;
  }
  void text(const char* s) {
    while (*s != '\0' && !full()) buffer_[length_++] = *s++;
  }
  // Two digits, for fields of 0-99.
  void two(int32_t value) {
    put(static_cast<char>('0' + value / 10 % 10));
    put(static_cast<char>('0' + value % 10));
  }
  // Decimal, at least `width` digits with leading zeros.
  void number(int64_t value, int width) {
    if (value < 0) {
      put('-');
      value = -value;
    }
    char digits[20];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n < width) digits[n++] = '0';
    while (n > 0) put(digits[--n]);
  }

 private:
  char (&buffer_)[kFormatResultBytes];
  size_t length_ = 0;
};

// Indexes a table by a field that is in range by construction; guards it all the same.
const char* name_of(const char* const* table, int32_t count, int32_t index) {
  return index >= 0 && index < count ? table[index] : "?";
}

void expand(Output& out, const char* format, const LocalTime& t, const char* zone_name);

// One conversion letter. Composite conversions expand their fixed format.
void convert(Output& out, char letter, const LocalTime& t, const char* zone_name) {
  switch (letter) {
    case 'a':
      return out.text(name_of(kShortDays, 7, t.weekday));
    case 'A':
      return out.text(name_of(kDays, 7, t.weekday));
    case 'b':
    case 'h':
      return out.text(name_of(kShortMonths, 12, t.month));
    case 'B':
      return out.text(name_of(kMonths, 12, t.month));
    case 'c':
      return expand(out, "%a %b %d %H:%M:%S %Y", t, zone_name);
    case 'd':
      return out.two(t.day);
    case 'D':
      return expand(out, "%m/%d/%y", t, zone_name);
    case 'H':
      return out.two(t.hour);
    case 'I':
      return out.two(t.hour % 12 == 0 ? 12 : t.hour % 12);
    case 'j':
      return out.number(t.yearday + 1, 3);
    case 'm':
      return out.two(t.month + 1);
    case 'M':
      return out.two(t.minute);
    case 'n':
      return out.put('\n');
    case 'p':
      return out.text(t.hour < 12 ? "AM" : "PM");
    case 'r':
      return expand(out, "%I:%M:%S %p", t, zone_name);
    case 'S':
      return out.two(t.second);
    case 't':
      return out.put('\t');
    case 'T':
    case 'X':
      return expand(out, "%H:%M:%S", t, zone_name);
    case 'U':
      return out.two((t.yearday + 7 - t.weekday) / 7);
    case 'w':
      return out.number(t.weekday, 1);
    // Weeks begin on Monday: the weekday counted from Monday is (weekday + 6) mod 7.
    case 'W':
      return out.two((t.yearday + 7 - (t.weekday + 6) % 7) / 7);
    case 'x':
      return expand(out, "%a %b %d, %Y", t, zone_name);
    case 'y':
      return out.two((t.year % 100 + 100) % 100);
    case 'Y':
      return out.number(static_cast<int64_t>(t.year) + 1900, 1);
    case 'Z':
    case 'z':
      return out.text(zone_name);
    default:
      return out.put(letter);  // %% and every letter outside the table
  }
}

void expand(Output& out, const char* format, const LocalTime& t, const char* zone_name) {
  for (const char* p = format; *p != '\0' && !out.full(); ++p) {
    if (*p != '%') {
      out.put(*p);
      continue;
    }
    if (*++p == '\0') return;  // a closing lone % gives nothing
    convert(out, *p, t, zone_name);
  }
}

}  // namespace

size_t expand_datetime_format(const char* format, const LocalTime& time, const char* zone_name,
                              char (&result)[kFormatResultBytes]) {
  Output out(result);
  expand(out, format, time, zone_name);
  return out.finish();
}

}  // namespace qv
