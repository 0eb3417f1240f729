# Strict warnings for our own targets; third-party headers come in as SYSTEM.
function(vext_strict_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor
        -Woverloaded-virtual -Werror)
endfunction()
