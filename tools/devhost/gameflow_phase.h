// The names of the gameflow phases, as the gameflow session resource carries them.
#ifndef PYX_DEVHOST_GAMEFLOW_PHASE_H_
#define PYX_DEVHOST_GAMEFLOW_PHASE_H_

#include <span>
#include <string>
#include <string_view>

namespace Vane::DevHost {

// The fourteen phase names in value order ("None" 0 ... "TerminatedInError" 13).
std::span<const char* const> GameflowPhaseNames();

// True when `name` is one of the phase names (exact, case-sensitive).
bool IsGameflowPhase(std::string_view name);

// The names joined with ", ", for messages.
std::string GameflowPhaseList();

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_GAMEFLOW_PHASE_H_
