# The include folders say the layering. A library shows the code that uses
# it just the headers that are theirs to include: each library gets an
# include folder of its own in the build tree, holding links to those
# headers and nothing else, and src/ itself is on no include path. So the
# game, which links only the toolkit's contract and the sound player, cannot
# include a platform's or the sound layer's headers (nor SDL's: it does not
# link SDL), and a platform, which never links the game, cannot include the
# game's. A stray include fails to compile ("No such file or directory").
#
#   vexlo_headers(TARGET SCOPE HEADER...)
# HEADERs are paths under src/ ("ptc/ptc.h") and are included by that
# path; SCOPE is PUBLIC or INTERFACE for the headers a library's users
# include, PRIVATE for those only its own sources include.
function(vexlo_headers target scope)
  set(tree ${PROJECT_BINARY_DIR}/include/${target}-${scope})
  foreach(header IN LISTS ARGN)
    set(source ${PROJECT_SOURCE_DIR}/src/${header})
    if(NOT EXISTS ${source})
      message(FATAL_ERROR "vexlo_headers(${target}): no such header src/${header}")
    endif()
    get_filename_component(folder ${tree}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${source} ${tree}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${tree})
endfunction()
