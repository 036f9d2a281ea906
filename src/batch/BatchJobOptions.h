// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BatchOptionTable.h"
#include "BatchOptions.h"

#include <QString>

class QCommandLineParser;

namespace corvial {

// Readers of the options that describe a job's labels. Each refuses a value by throwing
// BatchRefusal with the message for the user.

// Sheet type, sample count, first number, number style and repeat count, and the job size.
void readNumbers(const QCommandLineParser &parser, const BatchOptionSet &o, LabelJob &job);
// A sample list: the job takes each sample's own text; unread columns become a warning.
void readList(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r);
// The label text, checked against the limits of the type's text box.
QString readText(const QCommandLineParser &parser, const BatchOptionSet &o, SheetType type);
// The marker, and the proof the window builds from text, which printing and export read.
void readProof(const QCommandLineParser &parser, const BatchOptionSet &o, const QString &text,
               LabelJob &job);
// Colours, frame, alignment and font.
void readLook(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r);
// The 2-D codes, where the label has room, with a prefix that fits.
void readCode(const QCommandLineParser &parser, const BatchOptionSet &o, BatchRequest &r);

} // namespace corvial
