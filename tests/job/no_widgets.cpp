// SPDX-License-Identifier: GPL-3.0-or-later
// Built with the job library's include path and flags only; it must not compile.
#include "job/LabelJob.h"

#include <QWidget>

int main()
{
    return 0;
}
