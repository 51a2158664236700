# Writes the CP949 table of src/container/text_encoding.cpp from the C library's charmap
# (/usr/share/i18n/charmaps/CP949.gz, Debian package locales), so that every build converts
# with the same characters without depending on the system's converters at run time.
#
#   cmake -DCHARMAP=CP949.gz -DGZIP=gzip -DOUTPUT=cp949_table.inc -P cp949_table.cmake
#
# The output holds two lists of {code, code point} pairs for the two-byte characters: one
# sorted by their two bytes (for decoding), one by their code points (for encoding). Single
# bytes are ASCII and need no table.
foreach(variable CHARMAP GZIP OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "cp949_table.cmake needs -D${variable}=...")
  endif()
endforeach()

execute_process(COMMAND ${GZIP} -dc ${CHARMAP} OUTPUT_VARIABLE charmap RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read ${CHARMAP}")
endif()

# The lines "<UXXXX>     /xhh/xhh   NAME" of the two-byte characters, as "HHHHXXXX".
string(REGEX MATCHALL "\n<U[0-9A-F][0-9A-F][0-9A-F][0-9A-F]> +/x[0-9a-f][0-9a-f]/x[0-9a-f][0-9a-f]"
       lines "${charmap}")
list(TRANSFORM lines REPLACE "^\n<U(....)> +/x(..)/x(..)$" "\\2\\3\\1")
list(TRANSFORM lines TOUPPER)
list(LENGTH lines count)
if(count LESS 17000)
  message(FATAL_ERROR "${CHARMAP} holds only ${count} two-byte characters")
endif()

# Each code point has one code: encoding must not have to choose.
set(code_points ${lines})
list(TRANSFORM code_points REPLACE "^....(....)$" "\\1")
list(REMOVE_DUPLICATES code_points)
list(LENGTH code_points distinct)
if(NOT distinct EQUAL count)
  message(FATAL_ERROR "${CHARMAP} gives some code points more than one code")
endif()

# Fixed-width hexadecimal sorts as its numbers do.
set(by_code ${lines})
list(SORT by_code)
list(TRANSFORM by_code REPLACE "^(....)(....)$" "    {0x\\1, 0x\\2},")
list(JOIN by_code "\n" by_code)

set(by_code_point ${lines})
list(TRANSFORM by_code_point REPLACE "^(....)(....)$" "\\2\\1")
list(SORT by_code_point)
list(TRANSFORM by_code_point REPLACE "^(....)(....)$" "    {0x\\2, 0x\\1},")
list(JOIN by_code_point "\n" by_code_point)

file(WRITE ${OUTPUT}.tmp
     "// Made by cmake/cp949_table.cmake from ${CHARMAP}; not to be edited.\n"
     "// The ${count} two-byte characters of CP949 as {code, code point}.\n"
     "inline constexpr Cp949Pair kCp949ByCode[] = {\n${by_code}\n};\n"
     "inline constexpr Cp949Pair kCp949ByCodePoint[] = {\n${by_code_point}\n};\n")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
