# Writes the tables of the standard codes (OUT_CRC and OUT_QPP, C++ initializer lists
# included by crc.cpp and qpp.cpp) from the 3GPP table files in STANDARDS:
#   crc_polynomials.csv  name,degree,polynomial_hex_without_top_bit,standard
#                        (TS 36.212 5.1.1, TS 38.212 5.1): one {"24A", 24, 0x864CFB} per
#                        line, the label being the name without its "gCRC"
#   lte_qpp.csv          i,K,f1,f2 (TS 36.212 Table 5.1.3-3): one {K, f1, f2} per line
# Run in script mode by src/standards/CMakeLists.txt; any line that does not read as
# expected stops the build.
cmake_minimum_required(VERSION 3.20)

# The lines of a table file after its header, which must be `header`.
function(table_lines path header out_var)
  file(READ ${path} text)
  string(REPLACE "\r" "" text "${text}")
  # A semicolon is CMake's list separator; no field the tables use holds one that
  # matters here (the `standard` column is not read), so they become commas.
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  list(FILTER lines EXCLUDE REGEX "^$")
  list(POP_FRONT lines first)
  if(NOT first STREQUAL header)
    message(FATAL_ERROR "${path}: header '${first}', expected '${header}'")
  endif()
  set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# CRC generator polynomials.
set(crc_csv ${STANDARDS}/crc_polynomials.csv)
table_lines(${crc_csv} "name,degree,polynomial_hex_without_top_bit,standard" crc_lines)
set(crc_body "")
set(crc_labels "")
foreach(line IN LISTS crc_lines)
  if(NOT line MATCHES "^gCRC([0-9A-Z]+),([0-9]+),0x([0-9A-Fa-f]+),")
    message(FATAL_ERROR "${crc_csv}: unexpected line '${line}'")
  endif()
  set(label ${CMAKE_MATCH_1})
  set(degree ${CMAKE_MATCH_2})
  set(hex ${CMAKE_MATCH_3})
  if(degree LESS 1 OR degree GREATER 32)
    message(FATAL_ERROR "${crc_csv}: gCRC${label} has degree ${degree}, outside 1..32")
  endif()
  # The hex digits hold the coefficients of D^(degree-1)..D^0 only.
  math(EXPR value "0x${hex}")
  math(EXPR top "1 << ${degree}")
  if(value GREATER_EQUAL top)
    message(FATAL_ERROR "${crc_csv}: gCRC${label} = 0x${hex} does not fit below D^${degree}")
  endif()
  if(label IN_LIST crc_labels)
    message(FATAL_ERROR "${crc_csv}: gCRC${label} is listed twice")
  endif()
  list(APPEND crc_labels ${label})
  string(APPEND crc_body "    {\"${label}\", ${degree}, 0x${hex}u},\n")
endforeach()

# LTE turbo interleaver parameters, K ascending.
set(qpp_csv ${STANDARDS}/lte_qpp.csv)
table_lines(${qpp_csv} "i,K,f1,f2" qpp_lines)
set(qpp_body "")
set(qpp_count 0)
set(previous_k 0)
foreach(line IN LISTS qpp_lines)
  if(NOT line MATCHES "^([0-9]+),([0-9]+),([0-9]+),([0-9]+)$")
    message(FATAL_ERROR "${qpp_csv}: unexpected line '${line}'")
  endif()
  math(EXPR qpp_count "${qpp_count} + 1")
  if(NOT CMAKE_MATCH_1 EQUAL qpp_count)
    message(FATAL_ERROR "${qpp_csv}: row ${CMAKE_MATCH_1} out of order")
  endif()
  if(NOT CMAKE_MATCH_2 GREATER previous_k)
    message(FATAL_ERROR "${qpp_csv}: K = ${CMAKE_MATCH_2} does not follow ${previous_k} in ascending order")
  endif()
  if(NOT (CMAKE_MATCH_3 LESS CMAKE_MATCH_2 AND CMAKE_MATCH_4 LESS CMAKE_MATCH_2))
    message(FATAL_ERROR "${qpp_csv}: f1 and f2 of K = ${CMAKE_MATCH_2} must lie below K")
  endif()
  set(previous_k ${CMAKE_MATCH_2})
  string(APPEND qpp_body "    {${CMAKE_MATCH_2}, ${CMAKE_MATCH_3}, ${CMAKE_MATCH_4}},\n")
endforeach()

function(write_table out source body)
  file(WRITE ${out}.tmp "// Generated when the build is configured, by src/standards/generate_tables.cmake,
// from data/standards/${source}. Do not edit.
${body}")
  file(COPY_FILE ${out}.tmp ${out} ONLY_IF_DIFFERENT)
  file(REMOVE ${out}.tmp)
endfunction()

write_table(${OUT_CRC} "crc_polynomials.csv (3GPP TS 36.212 5.1.1, TS 38.212 5.1)" "${crc_body}")
write_table(${OUT_QPP} "lte_qpp.csv (3GPP TS 36.212 Table 5.1.3-3)" "${qpp_body}")
