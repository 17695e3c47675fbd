# Writes the page's service worker (SITE/sw.js) from TEMPLATE: the files it
# keeps (FILES, comma-separated, relative to SITE) and a cache name made
# from a hash of their contents.
#   cmake -DSITE=... -DFILES=a,b -DTEMPLATE=sw.js.in -P service_worker.cmake
string(REPLACE "," ";" files "${FILES}")
set(hashes "")
set(names "")
foreach(file IN LISTS files)
  file(SHA256 ${SITE}/${file} hash)
  string(APPEND hashes "${file} ${hash}\n")
  list(APPEND names "\"${file}\"")
endforeach()
string(SHA256 all "${hashes}")
string(SUBSTRING ${all} 0 16 VEXLO_BUILD_HASH)
list(JOIN names ",\n  " VEXLO_SITE_FILES)
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
