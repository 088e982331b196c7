# SPDX-License-Identifier: GPL-3.0-or-later
# The app runs two external tools, found in its resource folder: a fixed
# place relative to the executable, the same in the build tree and installed.
find_program(KESTREL_FFPROBE ffprobe)
find_program(KESTREL_FFMPEG ffmpeg)
if(NOT KESTREL_FFPROBE OR NOT KESTREL_FFMPEG)
    message(FATAL_ERROR
        "ffprobe and ffmpeg were not found: install the Debian package 'ffmpeg' "
        "(sudo apt-get install ffmpeg), or run 'make setup'.")
endif()

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${CMAKE_INSTALL_BINDIR})
set(KESTREL_RESOURCE_SUBDIR ${CMAKE_INSTALL_LIBEXECDIR}/kestrel)
set(KESTREL_BUILD_RESOURCE_DIR ${CMAKE_BINARY_DIR}/${KESTREL_RESOURCE_SUBDIR})
file(RELATIVE_PATH KESTREL_RESOURCE_RELATIVE_PATH
    ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
    ${CMAKE_INSTALL_PREFIX}/${KESTREL_RESOURCE_SUBDIR})

file(MAKE_DIRECTORY ${KESTREL_BUILD_RESOURCE_DIR})
file(CREATE_LINK ${KESTREL_FFPROBE} ${KESTREL_BUILD_RESOURCE_DIR}/sniffer SYMBOLIC)
file(CREATE_LINK ${KESTREL_FFMPEG} ${KESTREL_BUILD_RESOURCE_DIR}/creator SYMBOLIC)

# Installed, a link is relative when its tool lies under the same prefix (a
# package's /usr/bin beside its /usr/libexec), as Debian's policy asks of
# links within one top-level folder; anywhere else it names the tool whole.
function(kestrel_install_tool_link name tool)
    cmake_path(IS_PREFIX CMAKE_INSTALL_PREFIX ${tool} NORMALIZE inside)
    if(inside)
        file(RELATIVE_PATH tool ${CMAKE_INSTALL_PREFIX}/${KESTREL_RESOURCE_SUBDIR} ${tool})
    endif()
    set(link ${CMAKE_BINARY_DIR}/installed-tools/${name})
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/installed-tools)
    file(CREATE_LINK ${tool} ${link} SYMBOLIC)
    install(FILES ${link} DESTINATION ${KESTREL_RESOURCE_SUBDIR})
endfunction()
kestrel_install_tool_link(sniffer ${KESTREL_FFPROBE})
kestrel_install_tool_link(creator ${KESTREL_FFMPEG})
