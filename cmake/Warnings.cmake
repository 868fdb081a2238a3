# Warnings are errors in every build of the project's own code (C++ only: the resource
# compiler takes no such flags).
function(vantorel_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror>)
endfunction()
