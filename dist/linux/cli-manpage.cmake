# Writes the manual page of morvex-cli from the program's own help, so the page lists
# every subcommand and option the built program has.
#   cmake -DCLI=<morvex-cli> -DVERSION=<x.y.z> -DDATE=<yyyy-mm-dd> -DOUT=<file.1> -P cli-manpage.cmake
# The top-level help becomes DESCRIPTION and OPTIONS; each subcommand, nested ones
# included, gets a section holding its help text as the program prints it.

foreach(v CLI VERSION DATE OUT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "cli-manpage.cmake: -D${v}=... is missing")
  endif()
endforeach()

# Text for a no-fill block: backslashes doubled, and a leading '.' or "'" escaped so
# the formatter does not take the line for a request.
function(roff_literal text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(help_of words out)
  execute_process(COMMAND "${CLI}" ${words} --help
                  OUTPUT_VARIABLE text ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " shown "${words}")
    message(FATAL_ERROR "'${CLI} ${shown} --help' failed (${rc}): ${err}")
  endif()
  string(REGEX REPLACE "\n+$" "" text "${text}")
  # Usage lines name the program as it was started; the page names it as installed.
  string(REPLACE "${CLI}" "morvex-cli" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Names listed under "Subcommands:" (two spaces, then the name; wrapped descriptions
# are indented further).
function(subcommands_of text out)
  set(names "")
  set(inside FALSE)
  string(REPLACE ";" "\\;" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[Ss][Uu][Bb][Cc][Oo][Mm][Mm][Aa][Nn][Dd][Ss]:$")
      set(inside TRUE)
    elseif(inside AND line MATCHES "^  ([A-Za-z0-9][A-Za-z0-9_-]*)")
      list(APPEND names "${CMAKE_MATCH_1}")
    elseif(inside AND NOT line MATCHES "^   ")
      set(inside FALSE)
    endif()
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

set(sections "")
function(describe words)
  help_of("${words}" text)
  roff_literal("${text}" lit)
  string(REPLACE ";" " " title "${words}")
  string(APPEND sections ".SS ${title}\n.nf\n${lit}\n.fi\n")
  subcommands_of("${text}" subs)
  foreach(s IN LISTS subs)
    set(sub_words ${words} ${s})
    describe("${sub_words}")
  endforeach()
  set(sections "${sections}" PARENT_SCOPE)
endfunction()

help_of("" top)
subcommands_of("${top}" top_subs)
if(NOT top_subs)
  message(FATAL_ERROR "cli-manpage.cmake: '${CLI} --help' lists no subcommands")
endif()
foreach(s IN LISTS top_subs)
  describe("${s}")
endforeach()

string(REGEX MATCH "^[^\n]*" summary "${top}")
roff_literal("${top}" top_lit)
set(page ".\\\" Generated from the help of morvex-cli ${VERSION}; edits are lost at the next build.
.TH MORVEX\\-CLI 1 \"${DATE}\" \"Morvex ${VERSION}\" \"User Commands\"
.SH NAME
morvex\\-cli \\- ${summary}
.SH SYNOPSIS
.B morvex\\-cli
.I SUBCOMMAND
.RI [ OPTIONS ]
.br
.B morvex\\-cli
.BR \\-\\-help \" | \" \\-\\-version
.SH DESCRIPTION
.nf
${top_lit}
.fi
.SH SUBCOMMANDS
Each subcommand prints the help below with
.BR \\-\\-help .
${sections}.SH EXIT STATUS
0 when the subcommand succeeded, non-zero otherwise.
.SH SEE ALSO
.BR morvex (1)
")
file(WRITE "${OUT}" "${page}")
