# SPDX-License-Identifier: GPL-3.0-or-later
file(READ ${README} readme)
file(READ ${GUIDE} guide)
string(FIND "${readme}" "${guide}<!-- End of the guide. -->" at)
if(at EQUAL -1)
    message(FATAL_ERROR "README.md does not end its copy of the guide as data/help.md reads: copy it again")
endif()
