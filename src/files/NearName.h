// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

namespace corvial {

// Longest word nearName() guesses for, in bytes: a file is a shared text, so the work per word
// stays bounded and long rubbish gets no guess.
constexpr int NearNameMaxWord = 40;

// The known name a misspelt word of a file was most likely meant as: the same but for case,
// or at most two edits away (one for words under five letters); empty when none is that close.
QByteArray nearName(const QByteArray &word, const QList<QByteArray> &known);

} // namespace corvial
