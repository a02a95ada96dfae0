#include "e2e/scenario.h"

#include <algorithm>
#include <future>
#include <map>
#include <string>

namespace {

std::map<std::string, ScenarioBody>& Bodies() {
  static std::map<std::string, ScenarioBody> bodies;
  return bodies;
}

std::map<std::string, std::shared_future<Facts>>& Futures() {
  static std::map<std::string, std::shared_future<Facts>> futures;
  return futures;
}

}  // namespace

bool RegisterScenario(const char* name, ScenarioBody body) {
  Bodies()[name] = std::move(body);
  return true;
}

void StartAllScenarios() {
  for (auto& [name, body] : Bodies()) {
    Futures()[name] = std::async(std::launch::async, body).share();
  }
}

const Facts& ScenarioFacts(const char* name) {
  static const Facts missing;
  const auto found = Futures().find(name);
  if (found == Futures().end()) return missing;
  return found->second.get();
}

std::vector<std::string> ScenarioNames() {
  std::vector<std::string> names;
  for (const auto& [name, body] : Bodies()) names.push_back(name);
  return names;
}

Facts RunUpdater(const std::wstring& rawTail, const std::wstring& scriptToHold,
                 const std::vector<int>& answers,
                 const std::function<void(std::size_t)>& beforeAnswer,
                 const std::function<void(Facts&)>& whileHeld) {
  return RunUpdater(Launch{rawTail, {}, {}}, scriptToHold, answers, beforeAnswer, whileHeld);
}

Facts RunUpdater(const Launch& launch, const std::wstring& scriptToHold,
                 const std::vector<int>& answers,
                 const std::function<void(std::size_t)>& beforeAnswer,
                 const std::function<void(Facts&)>& whileHeld) {
  Facts facts;
  CallMatch hold;
  if (!scriptToHold.empty()) hold = {"DeleteFileW", 0, scriptToHold};
  UpdaterProcess updater(launch, hold);
  facts.started = updater.Started();
  if (!facts.started) return facts;

  for (std::size_t i = 0; i < answers.size(); ++i) {
    std::optional<ShownMessage> message =
        WaitForMessage(updater.ProcessId(), updater.Handle(), kScenarioWaitMs);
    if (!message) break;
    facts.messages.push_back(*message);
    if (beforeAnswer) beforeAnswer(i);
    if (!Answer(*message, answers[i])) break;
  }
  if (!scriptToHold.empty() && updater.WaitUntilHeld(kScenarioWaitMs)) {
    facts.lastDisplay = ReadDisplay(FindProgressWindow(updater.ProcessId()));
    if (whileHeld) whileHeld(facts);
    updater.ReleaseHold();
  }
  facts.exitCode = updater.WaitForExit(kScenarioWaitMs);
  facts.crashed = updater.Crashed();
  facts.waitsBeforeChecks = updater.SleepCalls(5000);
  return facts;
}

Facts RunUpdaterSayingNo(const Launch& launch) {
  constexpr std::size_t kMostMessages = 20;  // No ends the update at the first question
  Facts facts;
  UpdaterProcess updater(launch);
  facts.started = updater.Started();
  if (!facts.started) return facts;
  while (facts.messages.size() < kMostMessages) {
    const std::optional<ShownMessage> message =
        WaitForMessage(updater.ProcessId(), updater.Handle(), kScenarioWaitMs);
    if (!message) break;
    facts.messages.push_back(*message);
    const bool isQuestion =
        std::find(message->buttons.begin(), message->buttons.end(), IDNO) != message->buttons.end();
    if (!Answer(*message, isQuestion ? IDNO : IDOK)) break;
  }
  facts.exitCode = updater.WaitForExit(kScenarioWaitMs);
  facts.crashed = updater.Crashed();
  return facts;
}
