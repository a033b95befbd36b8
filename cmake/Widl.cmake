# widl rules: C++ headers, IID definitions and binary type libraries from IDL.
set(VX_WINE_IDL_DIR /usr/include/wine/wine/windows)
# widl needs stdole2.tlb only to resolve importlib; Wine's 64-bit copy serves
# both targets (its content does not depend on the target).
set(VX_WIDL_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VX_WIDL_BITS --win64)
else()
  set(VX_WIDL_BITS --win32)
endif()

# vx_widl(<idl> OUT_DIR <dir> [TLB <name>] [INCLUDES dirs...] [DEPENDS files...])
# Produces <base>.h and <base>_i.c in OUT_DIR (and the type library when TLB is
# given); sets <base>_WIDL_OUTPUTS in the caller's scope.
function(vx_widl idl)
  cmake_parse_arguments(W "" "OUT_DIR;TLB" "INCLUDES;DEPENDS" ${ARGN})
  get_filename_component(base ${idl} NAME_WE)
  set(inc -I${VX_WINE_IDL_DIR})
  foreach(d ${W_INCLUDES})
    list(APPEND inc -I${d})
  endforeach()
  set(common ${VX_WIDL} ${VX_WIDL_BITS} ${inc} -L${VX_WIDL_STDOLE_DIR})
  set(outs ${W_OUT_DIR}/${base}.h ${W_OUT_DIR}/${base}_i.c)
  set(cmds COMMAND ${common} -h -o ${W_OUT_DIR}/${base}.h ${idl}
           COMMAND ${common} -u -o ${W_OUT_DIR}/${base}_i.c ${idl})
  if(W_TLB)
    list(APPEND outs ${W_OUT_DIR}/${W_TLB})
    list(APPEND cmds COMMAND ${common} -t -o ${W_OUT_DIR}/${W_TLB} ${idl})
  endif()
  add_custom_command(OUTPUT ${outs} ${cmds}
    DEPENDS ${idl} ${W_DEPENDS} VERBATIM
    COMMENT "widl ${base}.idl")
  set(${base}_WIDL_OUTPUTS ${outs} PARENT_SCOPE)
endfunction()
