#include "devhost/gameflow_phase.h"

namespace Vane::DevHost {
namespace {

constexpr const char* kPhases[] = {"None",
                                   "Lobby",
                                   "Matchmaking",
                                   "CheckedIntoTournament",
                                   "ReadyCheck",
                                   "ChampSelect",
                                   "GameStart",
                                   "FailedToLaunch",
                                   "InProgress",
                                   "Reconnect",
                                   "WaitingForStats",
                                   "PreEndOfGame",
                                   "EndOfGame",
                                   "TerminatedInError"};

}  // namespace

std::span<const char* const> GameflowPhaseNames() {
    return kPhases;
}

bool IsGameflowPhase(std::string_view name) {
    for (const char* phase : kPhases) {
        if (name == phase) return true;
    }
    return false;
}

std::string GameflowPhaseList() {
    std::string list;
    for (const char* phase : kPhases) {
        if (!list.empty()) list += ", ";
        list += phase;
    }
    return list;
}

}  // namespace Vane::DevHost
