#pragma once

#include <QtGlobal>

#include <functional>

// Milliseconds from a steady clock. The controls that time presses and rests take one of
// these so that their timing can be driven by hand.
using TickSource = std::function<qint64()>;

// The program's steady clock: milliseconds since the first call, plus one, so that a real
// reading is never 0 (0 means "not yet" in the controls' fields).
qint64 SystemTickMs();
