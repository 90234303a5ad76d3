# Third-party libraries from their static archives (KAVRO_STATIC_DEPS, on in release builds).
# A fresh process of the runner mapped 26 shared libraries and resolved thousands of symbols across
# them before its first line ran: about half of its start. Linked from the archives, it loads three
# (the C library, its maths library and cJSON, whose archive the system lacks).
# A library whose archive the system lacks stays shared. A program that also loads a shared library
# linked against OpenSSL (the benchmarks' libcurl) keeps its own copy of OpenSSL to itself with
# kavro_keep_static_openssl, so that each side runs its own copy with its own state.

# kavro_static_archive(VAR NAME): VAR is the path of libNAME.a, or empty when there is none.
function(kavro_static_archive var name)
  find_library(KAVRO_STATIC_${name} NAMES lib${name}.a)
  if(KAVRO_STATIC_${name})
    set(${var} ${KAVRO_STATIC_${name}} PARENT_SCOPE)
  else()
    set(${var} "" PARENT_SCOPE)
  endif()
endfunction()

# kavro_link_static(TARGET NAME [DEPS ...]): the imported TARGET links libNAME.a, followed by
# DEPS (what the archive needs that a shared library would have brought), when the archive
# exists; otherwise TARGET stays as found.
function(kavro_link_static target name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  if(NOT KAVRO_STATIC_DEPS OR NOT TARGET ${target})
    return()
  endif()
  kavro_static_archive(archive ${name})
  if(NOT archive)
    message(STATUS "${target}: no lib${name}.a, linked shared")
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    # pkg-config's targets name the library in their link list.
    set_property(TARGET ${target} PROPERTY INTERFACE_LINK_LIBRARIES ${archive} ${ARG_DEPS})
  else()
    foreach(config "" _RELEASE _DEBUG _RELWITHDEBINFO _MINSIZEREL)
      set_property(TARGET ${target} PROPERTY IMPORTED_LOCATION${config} ${archive})
    endforeach()
    if(ARG_DEPS)
      set_property(TARGET ${target} APPEND PROPERTY INTERFACE_LINK_LIBRARIES ${ARG_DEPS})
    endif()
  endif()
endfunction()

if(KAVRO_STATIC_DEPS)
  kavro_link_static(ZLIB::ZLIB z)
  kavro_link_static(EXPAT::EXPAT expat)
  kavro_link_static(SQLite::SQLite3 sqlite3 DEPS Threads::Threads ${CMAKE_DL_LIBS} m)
  kavro_link_static(PNG::PNG png16 DEPS ZLIB::ZLIB m)
  kavro_link_static(JPEG::JPEG jpeg)
  kavro_link_static(GIF::GIF gif)
  kavro_static_archive(brotlidec brotlidec)
  kavro_static_archive(brotlicommon brotlicommon)
  if(brotlidec AND brotlicommon)
    kavro_link_static(Freetype::Freetype freetype DEPS PNG::PNG ZLIB::ZLIB ${brotlidec} ${brotlicommon} m)
  endif()
  kavro_static_archive(icudata icudata)
  if(icudata)
    kavro_link_static(ICU::uc icuuc DEPS ${icudata} Threads::Threads ${CMAKE_DL_LIBS} m)
    kavro_link_static(ICU::i18n icui18n DEPS ICU::uc)
  endif()
  kavro_link_static(PkgConfig::MINIZIP minizip DEPS ZLIB::ZLIB)
  kavro_link_static(OpenSSL::Crypto crypto DEPS Threads::Threads ${CMAKE_DL_LIBS})
  kavro_link_static(OpenSSL::SSL ssl DEPS OpenSSL::Crypto)
  kavro_link_static(PkgConfig::CJSON cjson)
endif()

# kavro_keep_static_openssl(TARGET): TARGET's copy of OpenSSL is not offered to the shared
# libraries it loads.
function(kavro_keep_static_openssl target)
  if(KAVRO_STATIC_DEPS)
    target_link_options(${target} PRIVATE -Wl,--exclude-libs,libssl.a:libcrypto.a)
  endif()
endfunction()

# kavro_fresh_start(TARGET): TARGET, started as a fresh process for each use, links as the runner
# does: the third-party libraries from their archives with the C++ library's own copy, and its
# relative relocations packed (DT_RELR). A position-independent program of this size carries
# about 49,000 of them: 1.2 MB of table the loader reads at every start, 12 KB once packed. Linkers
# or C libraries without packed relocations keep the plain table.
include(CheckLinkerFlag)
check_linker_flag(CXX "-Wl,-z,pack-relative-relocs" KAVRO_LINKER_PACKS_RELOCS)
function(kavro_fresh_start target)
  if(NOT KAVRO_STATIC_DEPS)
    return()
  endif()
  target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  if(KAVRO_LINKER_PACKS_RELOCS)
    target_link_options(${target} PRIVATE -Wl,-z,pack-relative-relocs)
  endif()
endfunction()
