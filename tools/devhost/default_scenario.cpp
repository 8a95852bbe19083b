#include "devhost/default_scenario.h"

namespace Vane::DevHost {
namespace {

// Kept as YAML so it reads like the files developers write, and goes through the same reader.
constexpr std::string_view kDefaultScenario = R"yaml(
player:
  accountId: 2400001
  summonerId: 2400101
  platformId: XX1
  loggedIn: true
  locale: en_US
  region: XX
  entitlements:
    - urn:entitlement:globalvane.missions.enabled
gameflowPhase: Lobby
configurationComplete: true
config:
  Missions:
    MissionsEnabled: true
    MissionsFrontEndEnabled: true
    MissionsPollingTime: 300
    MissionsCooldownPollingTime: 60
inventory:
  summonerLevel: 30
  champions:
    - id: 1
      freeToPlay: false
      ownership: {owned: true, freeToPlayReward: false, rental: {rented: false}}
      skins:
        - {championId: 1, id: 1001, ownership: {owned: true, freeToPlayReward: false, rental: {rented: false}}}
        - {championId: 1, id: 1002, ownership: {owned: false, freeToPlayReward: false, rental: {rented: false}}}
    - id: 2
      freeToPlay: true
      ownership: {owned: false, freeToPlayReward: false, rental: {rented: false}}
      skins:
        - {championId: 2, id: 2001, ownership: {owned: false, freeToPlayReward: false, rental: {rented: true}}}
    - id: 3
      freeToPlay: false
      ownership: {owned: false, freeToPlayReward: false, rental: {rented: false}}
      skins: []
  wardSkins:
    - {id: 1, ownership: {owned: true, freeToPlayReward: false, rental: {rented: false}}}
    - {id: 4294967296, ownership: {owned: true, freeToPlayReward: false, rental: {rented: false}}}
    - {id: 7, ownership: {owned: false, freeToPlayReward: false, rental: {rented: false}}}
  summonerIcons: [1, 2, 29]
remote:
  latencyMs: 150
  series:
    - id: series-starter
      internalName: Starter_Series
      parentName: ""
      type: ONBOARDING
      title: Getting Started
      description: Your first steps.
      optInButtonText: ""
      optOutButtonText: ""
      status: ACTIVE
      startDate: 1700000000000
      endDate: 4102444800000
      createdDate: 1700000000000
      lastUpdatedTimestamp: 1700000000000
      viewed: false
      media: {backgroundUrl: "", backgroundImageLargeUrl: "", backgroundImageSmallUrl: "", accentColor: "#c8aa6e"}
      tags: [starter]
      warnings: []
    - id: series-event
      internalName: Event_Series
      type: EVENT
      title: Summer Event
      description: Opt in to play the event missions.
      optInButtonText: Join
      optOutButtonText: Leave
      status: OPT_IN_AVAILABLE
      startDate: 1700000000000
      endDate: 4102444800000
      tags: [event]
  missions:
    - id: mission-first-win
      internalName: first_win
      title: First Win of the Day
      helperText: Win any game.
      description: Win a game to earn a reward.
      seriesName: Starter_Series
      locale: en_US
      startTime: 1700000000000
      endTime: 4102444800000
      objectives:
        - {type: WIN, description: Win a game, sequence: 1, progress: {lastViewedProgress: 0, currentProgress: 0, totalCount: 1}}
      rewards:
        - rewardType: CURRENCY
          description: 50 tokens
          rewardFulfilled: false
          iconUrl: /fe/rewards/tokens.png
          itemId: tokens-50
          media: {intro: {sound: "", video: ""}, loop: {sound: "", video: ""}, outro: {sound: "", video: ""}}
      requirements: []
      status: PENDING
      missionType: ONETIME
      displayType: ALWAYS
      clientNotifyLevel: ALWAYS
      celebrationType: TOAST
      isNew: true
      viewed: false
    - id: mission-play-three
      internalName: play_three
      title: Play 3 Games
      description: Finish three games of any mode.
      seriesName: Starter_Series
      objectives:
        - {type: PLAY, description: Play games, sequence: 1, progress: {lastViewedProgress: 1, currentProgress: 1, totalCount: 3}}
      status: PENDING
      missionType: ONETIME
      displayType: ALWAYS
      clientNotifyLevel: ALWAYS
      isNew: true
    - id: mission-daily
      internalName: daily_repeat
      title: Daily Practice
      description: Play one game. Comes back two minutes after completion.
      seriesName: Event_Series
      objectives:
        - {type: PLAY, description: Play a game, sequence: 1, progress: {lastViewedProgress: 0, currentProgress: 0, totalCount: 1}}
      status: PENDING
      missionType: REPEATING
      displayType: ALWAYS
      clientNotifyLevel: NEVER
      cooldownTimeMillis: 120000
      completedDate: -1
    - id: mission-celebration
      internalName: level_up
      title: Level Up
      description: Reached level 30.
      seriesName: Starter_Series
      status: COMPLETED
      missionType: ONETIME
      displayType: CELEBRATION_ONLY
      clientNotifyLevel: ALWAYS
      celebrationType: FULLSCREEN
      completedDate: 1700000000000
      viewed: true
notifications: []
resources: {}
)yaml";

}  // namespace

std::string_view DefaultScenarioText() {
    return kDefaultScenario;
}

}  // namespace Vane::DevHost
