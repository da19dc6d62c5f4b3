#pragma once
// How an open with no port number asks the user for one: the port selection
// dialog stands behind a replaceable provider, so that the serial layer needs
// no Qt. Without a provider the choice counts as cancelled.
#include <functional>
#include <optional>

// The COM number chosen, or none when the choice was cancelled. Called on the
// thread that opens the port.
using PortSelectionProvider = std::function<std::optional<unsigned>()>;

// Installs `provider` (none removes it) and returns the one before.
PortSelectionProvider SetPortSelectionProvider(PortSelectionProvider provider);

// Asks the provider installed; none when there is none or the user cancelled.
std::optional<unsigned> AskForPort();
