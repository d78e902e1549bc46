# Writes OUTPUT, a C++ source holding the parameter sets SETS ("name=folder;...") as bytes:
# per set the nineteen ".dat" files, then their ".dh" twins (empty when absent).
set(names loop stack tstackh tstacki tloop miscloop dangle int22 int21 coaxial tstackcoax coaxstack
          tstack tstackm triloop int11 hexaloop tstacki23 tstacki1n)
set(body "")
set(table "")
set(index 0)
foreach(entry ${SETS})
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 setName)
  list(GET parts 1 folder)
  set(row "    {\"${setName}\", {")
  foreach(suffix dat dh)
    foreach(name ${names})
      set(path "${folder}/${name}.${suffix}")
      if(EXISTS "${path}")
        file(READ "${path}" hex HEX)
        string(LENGTH "${hex}" hexLength)
        math(EXPR size "${hexLength} / 2")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
        string(APPEND body "const unsigned char file${index}[] = {${bytes}0};\n")
        string(APPEND row "{file${index}, ${size}}, ")
        math(EXPR index "${index} + 1")
      else()
        string(APPEND row "{nullptr, 0}, ")
      endif()
    endforeach()
  endforeach()
  string(APPEND row "}},\n")
  string(APPEND table "${row}")
endforeach()
file(WRITE "${OUTPUT}.tmp"
"// Generated from the parameter folders at build time; do not edit.
#include \"thermo/embeddedParameters.h\"

namespace korvane::detail {

namespace {
${body}}  // namespace

const embeddedParameterSet EMBEDDED_PARAMETER_SETS[] = {
${table}};
const int EMBEDDED_PARAMETER_SET_COUNT = static_cast<int>(sizeof EMBEDDED_PARAMETER_SETS / sizeof EMBEDDED_PARAMETER_SETS[0]);

}  // namespace korvane::detail
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
