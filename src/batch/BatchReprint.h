// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BatchOptions.h"

#include <QString>

namespace corvial {

class PrintRecorder;

// The job of the record a --reprint request prints again, as much of it as --only asks for,
// at the request's start position and offsets, into *job. Empty when it may print; otherwise
// the refusal for exit status 2, naming the option the user gave for what he gave
// ("--only: ", "--start: ", "--resolution: ") and the record for what the record holds: a
// record that breaks a job rule, or whose codes do not fit the PDF at the default resolution.
// history must be open.
QString reprintRefusal(const BatchRequest &request, PrintRecorder &history, LabelJob *job);

} // namespace corvial
