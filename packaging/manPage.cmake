# cmake -DPROGRAM=quorvel -DVERSION=x.y -DOUTPUT=quorvel.1 -P manPage.cmake: writes the program's manual
# page from its --help, so that the page lists exactly the options the program takes.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${PROGRAM} --help failed")
endif()

# roff reads a backslash as an escape, a dash as a hyphen (option names want real minus signs), and a
# line that starts with a dot or a quote as a request.
function(roff text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  if(text MATCHES "^[.']")
    set(text "\\&${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(REPLACE ";" "\\;" help "${help}")
string(REPLACE "\n" ";" lines "${help}")
set(description "")
set(options "")
set(in_options FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^Usage:" OR line STREQUAL "")
    continue()
  elseif(line MATCHES "^Options:")
    set(in_options TRUE)
  elseif(NOT in_options)
    roff("${line}" text)
    string(APPEND description "${text}\n")
  elseif(line MATCHES "^  (-[^ ]+( [^ ]+)?)  +(.*)$")
    string(STRIP "${CMAKE_MATCH_3}" text)
    roff("${CMAKE_MATCH_1}" name)
    roff("${text}" text)
    string(REGEX REPLACE "^(\\\\-\\\\-[^ ]+) (.+)$" "\\\\fB\\1\\\\fR \\\\fI\\2\\\\fR" name "${name}")
    if(NOT name MATCHES "fB")
      set(name "\\fB${name}\\fR")
    endif()
    string(APPEND options ".TP\n${name}\n${text}\n")
  elseif(line MATCHES "^  (-[^ ]+( [^ ]+)?)$")
    # An option whose name is too long for the column puts its text on the next lines.
    roff("${CMAKE_MATCH_1}" name)
    string(REGEX REPLACE "^(\\\\-\\\\-[^ ]+) (.+)$" "\\\\fB\\1\\\\fR \\\\fI\\2\\\\fR" name "${name}")
    if(NOT name MATCHES "fB")
      set(name "\\fB${name}\\fR")
    endif()
    string(APPEND options ".TP\n${name}\n")
  else()
    string(STRIP "${line}" line)
    roff("${line}" text)
    string(APPEND options "${text}\n")
  endif()
endforeach()

file(WRITE ${OUTPUT} ".TH QUORVEL 1 \"\" \"Quorvel ${VERSION}\" \"User Commands\"
.SH NAME
quorvel \\- plays the Quorvel demo
.SH SYNOPSIS
.B quorvel
[\\fIoptions\\fR]
.SH DESCRIPTION
${description}.PP
Without \\fB\\-\\-data\\fR the program plays \\fIdata/\\fR beside it, or, installed,
\\fI../share/quorvel/data\\fR from it. A bad option or value prints which and why, then
the usage, and exits with code 2.
.SH OPTIONS
${options}.SH FILES
.TP
\\fIdata/log.html\\fR in the data folder
The log of the last run: every message, warning and error.
.TP
\\fI$XDG_STATE_HOME/quorvel/log.html\\fR (\\fI~/.local/state/quorvel/log.html\\fR)
The log where the data folder cannot be written, as when installed under /usr.
.SH SEE ALSO
.BR talvo-build (1)
")
