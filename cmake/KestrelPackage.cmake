# SPDX-License-Identifier: GPL-3.0-or-later
# What the Debian package says of Kestrel, in one place. `make package`
# builds it from a Release tree; the suite's packaging test from its own.

set(KESTREL_HOMEPAGE "https://github.com/kestrel/kestrel")
set(KESTREL_MAINTAINER "The Kestrel developers <support@kestrel-trimmer.org>")

# This version's release entry in the metainfo dates the manual page and the
# package's changelog, and gives the changelog its words: a version without
# one stops here rather than ship undated.
file(READ ${PROJECT_SOURCE_DIR}/data/${KESTREL_APP_ID}.metainfo.xml _kestrel_metainfo)
string(REPLACE "." "\\." _kestrel_version_pattern ${PROJECT_VERSION})
if(NOT _kestrel_metainfo MATCHES
        "<release version=\"${_kestrel_version_pattern}\" date=\"([0-9-]+)\">[ \n]*<description>[ \n]*<p>([^<]*)</p>")
    message(FATAL_ERROR "data/${KESTREL_APP_ID}.metainfo.xml has no release entry with a date "
                        "and a paragraph for version ${PROJECT_VERSION}")
endif()
set(KESTREL_RELEASE_DATE ${CMAKE_MATCH_1})
set(_kestrel_release_note ${CMAKE_MATCH_2})

# A Debian changelog entry: its lines within 80 columns, its date as RFC 2822
# writes it, the weekday included.
function(kestrel_debian_changelog output)
    string(REGEX REPLACE "[ \n]+" ";" words "${_kestrel_release_note}")
    set(text "")
    set(line "  *")
    foreach(word IN LISTS words)
        string(LENGTH "${line} ${word}" length)
        if(length GREATER 76)
            string(APPEND text "${line}\n")
            set(line "   ")
        endif()
        string(APPEND line " ${word}")
    endforeach()
    string(APPEND text "${line}\n")
    execute_process(COMMAND date --utc --rfc-email --date ${KESTREL_RELEASE_DATE}
        OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    file(WRITE ${output}
        "kestrel (${PROJECT_VERSION}) unstable; urgency=medium\n\n${text}\n -- ${KESTREL_MAINTAINER}  ${date}\n")
endfunction()

# Debian wants documentation compressed to the maximum, without the name or
# time that gzip would otherwise put in the header.
function(kestrel_gzip input output)
    execute_process(COMMAND gzip -9nc ${input} OUTPUT_FILE ${output} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

set(_kestrel_doc ${CMAKE_BINARY_DIR}/doc)
configure_file(${PROJECT_SOURCE_DIR}/data/copyright.in ${_kestrel_doc}/copyright @ONLY)
kestrel_debian_changelog(${_kestrel_doc}/changelog)
# The version carries no Debian revision, which makes the package native:
# its changelog is then changelog.gz, not changelog.Debian.gz.
kestrel_gzip(${_kestrel_doc}/changelog ${_kestrel_doc}/changelog.gz)
install(FILES ${_kestrel_doc}/copyright ${_kestrel_doc}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VENDOR "The Kestrel developers")
set(CPACK_PACKAGE_CONTACT ${KESTREL_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${KESTREL_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video trimmer: cut one segment out of a video file")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Kestrel gets a clip out of a long recording without learning ffmpeg.
Open a video, choose the start and the end with a two-knob slider, nudge
either end by a second or by a frame, or pick a preset length, play it, and
trim.

The segment is written losslessly by stream copy, frame-exact with only the
edges re-encoded, or re-encoded to MP4. A failed or cancelled trim never
replaces an existing file. Kestrel does no decoding of its own: it runs
ffprobe and ffmpeg, and plays through libmpv.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The two tools are run, not linked; libmpv is loaded at the first Play, and
# Qt loads its window system and SVG icon plugins at run time:
# dpkg-shlibdeps sees none of them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, libmpv2, qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Whatever the umask of the one who packages.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
