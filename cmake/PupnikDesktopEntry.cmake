# pupnik_write_desktop_entry(TEMPLATE OUTPUT PROGRAM): the desktop entry for PROGRAM. Its path is
# quoted only when it holds a character the Exec key reserves: xdg-open on a desktop it does not
# know takes quotes for part of the program's name. Included by the build and by `cmake --install`.
function(pupnik_write_desktop_entry template output program)
  set(exec "${program}")
  string(REPLACE "%" "%%" exec "${exec}")
  if(program MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
    # Inside quotes '"', '`', '$' and '\' take a backslash; the string value doubles each backslash.
    string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
    string(REPLACE "\"" "\\\\\"" exec "${exec}")
    string(REPLACE "`" "\\\\`" exec "${exec}")
    string(REPLACE "$" "\\\\$" exec "${exec}")
    set(exec "\"${exec}\"")
  endif()
  set(PUPNIK_EXEC "${exec}")
  configure_file("${template}" "${output}" @ONLY)
endfunction()
