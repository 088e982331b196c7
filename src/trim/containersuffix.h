// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The usual file name extension for a container, from the prober's
// comma-separated format names ("mov,mp4,m4a,3gp,3g2,mj2" gives "mov").
// The encoder picks its output format from the extension, so a file to be
// written without one is first written under a name that has this one.
QString containerSuffix(const QString &formatNames);
