// SPDX-License-Identifier: Apache-2.0
// The font of both windows: Tahoma 8 pt, or the platform's sans font at 8 pt
// where Tahoma is not installed.
#pragma once

#include <QFont>

QFont WindowFont();
