# Writes the NR LDPC tables of the library (OUT, a C++ source) from the 3GPP table files
# in STANDARDS: the base graphs BG1 and BG2 (TS 38.212 Tables 5.3.2-2 and 5.3.2-3, one
# line per nonzero entry: row, col, V for set indices 0..7) and the lifting sizes
# (Table 5.3.2-1: iLS, a, j, Z). Run in script mode by src/nrldpc/CMakeLists.txt.
function(read_table path header fields out_var count_var)
  file(STRINGS ${path} lines)
  list(POP_FRONT lines first)
  if(NOT first STREQUAL header)
    message(FATAL_ERROR "${path}: header '${first}', expected '${header}'")
  endif()
  set(body "")
  set(count 0)
  foreach(line IN LISTS lines)
    if(line STREQUAL "")
      continue()
    endif()
    string(REPLACE "," ";" cells "${line}")
    list(LENGTH cells n)
    if(NOT n EQUAL fields)
      message(FATAL_ERROR "${path}: line '${line}' does not hold ${fields} numbers")
    endif()
    foreach(cell IN LISTS cells)
      if(NOT cell MATCHES "^[0-9]+$")
        message(FATAL_ERROR "${path}: '${cell}' in line '${line}' is not a number")
      endif()
    endforeach()
    string(APPEND body "    {${line}},\n")
    math(EXPR count "${count} + 1")
  endforeach()
  set(${out_var} "${body}" PARENT_SCOPE)
  set(${count_var} ${count} PARENT_SCOPE)
endfunction()

read_table(${STANDARDS}/nr_ldpc_bg1.csv "row,col,V0,V1,V2,V3,V4,V5,V6,V7" 10 bg1 bg1_count)
read_table(${STANDARDS}/nr_ldpc_bg2.csv "row,col,V0,V1,V2,V3,V4,V5,V6,V7" 10 bg2 bg2_count)
read_table(${STANDARDS}/nr_ldpc_lifting_sizes.csv "iLS,a,j,Z" 4 sizes sizes_count)

file(WRITE ${OUT}.tmp "// Generated when the build is configured, by src/nrldpc/generate_tables.cmake,
// from data/standards/nr_ldpc_bg1.csv, nr_ldpc_bg2.csv and nr_ldpc_lifting_sizes.csv
// (3GPP TS 38.212 Tables 5.3.2-1 to 5.3.2-3). Do not edit.
#include \"nrldpc/tables.hpp\"

namespace linkforge::nr_ldpc_detail {

const TableEntry kBaseGraph1[${bg1_count}] = {
${bg1}};
const std::size_t kBaseGraph1Entries = ${bg1_count};

const TableEntry kBaseGraph2[${bg2_count}] = {
${bg2}};
const std::size_t kBaseGraph2Entries = ${bg2_count};

const LiftingEntry kLiftingSizes[${sizes_count}] = {
${sizes}};
const std::size_t kLiftingSizeCount = ${sizes_count};

}  // namespace linkforge::nr_ldpc_detail
")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
