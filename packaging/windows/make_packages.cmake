cmake_minimum_required(VERSION 3.25)  # every policy new: "@VERSION@" below is text, not a variable
# Stages kt57d.exe, the command-line tools kt57-run.exe and kt57-check.exe with the rehearsal page,
# the substitute FTD2XX.dll and their files once, then makes the portable zip and the NSIS installer
# from that stage. Run by the target kt57_windows_packages.
foreach(required VERSION SOURCE_DIR PROGRAM RUN CHECK STUDIO_PAGE SUBSTITUTE STAGE DIST MAKENSIS)
  if(NOT ${required})
    message(FATAL_ERROR "make_packages.cmake: ${required} is not set (makensis comes with Debian's nsis)")
  endif()
endforeach()

set(name kt57d-${VERSION}-win64)
set(root ${STAGE}/${name})
set(windows ${SOURCE_DIR}/packaging/windows)
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${root}/virtual-board ${DIST})

file(COPY ${PROGRAM} ${RUN} ${CHECK} DESTINATION ${root})
# kt57-run.exe --studio finds its page in studio\ beside it.
file(COPY ${STUDIO_PAGE}/ DESTINATION ${root}/studio)
file(COPY ${PROGRAM} ${SUBSTITUTE} DESTINATION ${root}/virtual-board)
# In the zip each kt57d.exe starts in its own folder, so each has the example beside it.
file(COPY ${SOURCE_DIR}/examples/demo/KT57Data.txt DESTINATION ${root})
file(COPY ${SOURCE_DIR}/examples/demo/KT57Data.txt DESTINATION ${root}/virtual-board)

# Notepad of older Windows shows LF-only text on one line.
function(copy_as_windows_text from to)
  file(READ ${from} text)
  string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
endfunction()
copy_as_windows_text(${SOURCE_DIR}/LICENSE ${root}/LICENSE.txt)
copy_as_windows_text(${windows}/README.txt ${root}/README.txt)
copy_as_windows_text(${windows}/KT57Board.txt ${root}/virtual-board/KT57Board.txt)

if(STRIP)
  execute_process(COMMAND ${STRIP} --strip-unneeded ${root}/kt57d.exe ${root}/kt57-run.exe ${root}/kt57-check.exe
    ${root}/virtual-board/kt57d.exe
    ${root}/virtual-board/FTD2XX.dll COMMAND_ERROR_IS_FATAL ANY)
endif()

file(REMOVE ${DIST}/${name}.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${DIST}/${name}.zip --format=zip ${name}
  WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${MAKENSIS} -V2 -DVERSION=${VERSION} -DSTAGE=${root}
  -DOUTFILE=${DIST}/kt57d-${VERSION}-setup.exe ${windows}/kt57d.nsi COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Windows packages: ${DIST}/${name}.zip, ${DIST}/kt57d-${VERSION}-setup.exe")
