# Writes a text file of the repository as a Windows user's Notepad reads it best: CR LF line ends
# (also after the last line), and UTF-8 with a byte-order mark when it holds anything beyond
# ASCII, so that Notepad does not take it for the ANSI code page.
#   cmake -DINPUT=<file> -DOUTPUT=<file> -P NotepadText.cmake
file(READ "${INPUT}" text)
string(REPLACE "\r\n" "\n" text "${text}")
if(NOT text MATCHES "\n$")
  string(APPEND text "\n")
endif()
string(REPLACE "\n" "\r\n" text "${text}")

# What is left after taking out printable ASCII, tabs and line ends: anything there is not ASCII.
string(REGEX REPLACE "[ -~\t\r\n]" "" beyond_ascii "${text}")
if(beyond_ascii STREQUAL "")
  set(bom "")
else()
  string(ASCII 239 187 191 bom)
endif()
file(WRITE "${OUTPUT}" "${bom}${text}")
