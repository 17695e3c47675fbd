# Beside each of the page's files (FILES, comma-separated, relative to
# SITE), a copy compressed with gzip -9n, for a server to send to browsers
# that accept gzip; kept only where it is smaller by a twentieth or more
# (pictures and MP3 gain nothing). Touches STAMP when done.
#   cmake -DSITE=... -DFILES=a,b -DSTAMP=... -P gzip_copies.cmake
string(REPLACE "," ";" files "${FILES}")
foreach(file IN LISTS files)
  set(path ${SITE}/${file})
  execute_process(COMMAND gzip -9n -c ${path} OUTPUT_FILE ${path}.gz RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${path}")
  endif()
  file(SIZE ${path} plain)
  file(SIZE ${path}.gz packed)
  math(EXPR enough "${plain} * 19 / 20")
  if(packed GREATER_EQUAL enough)
    file(REMOVE ${path}.gz)
  endif()
endforeach()
file(TOUCH ${STAMP})
