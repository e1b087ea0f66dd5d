#pragma once

#include <QString>
#include <optional>

#include "session/OutputParser.h"

// The words for a cause the flash tool told, in the interface language.

// The device card's second line for `cause`: what is there and what to do. Empty when the card's
// usual hint says it best (nothing diagnosed, nothing connected, a failure of a step).
QString DeviceAdvice(const std::optional<OutputLine>& cause);

// What happened and what to do next after a failed installation; for a cause that is not known,
// the pointer to the log.
QString FailureAdvice(const std::optional<OutputLine>& cause);
