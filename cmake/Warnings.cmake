# Warnings on, as errors, for every target of the project.
add_compile_options(-Wall -Wextra -Wshadow -Wno-unused-parameter -Werror)
