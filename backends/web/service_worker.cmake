# Writes the site's sw.js from sw.js.in: the files it keeps, and a version that is the
# digest of those files, so each build that changes one has a service worker of its own.
#   cmake -DSITE=DIR -DTEMPLATE=sw.js.in -P service_worker.cmake
set(files index.html index.js index.wasm favicon.png icon-256.png manifest.webmanifest
    readme.txt)
set(digests "")
set(quoted "'./'")
foreach(file IN LISTS files)
  file(SHA256 "${SITE}/${file}" digest)
  string(APPEND digests "${digest}")
  string(APPEND quoted ", '${file}'")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 FPU_WEB_VERSION)
set(FPU_WEB_FILES "${quoted}")
configure_file("${TEMPLATE}" "${SITE}/sw.js" @ONLY)
