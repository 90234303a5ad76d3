#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/net/SystemProxySettings.h"
#include "tests/platform/net/NetTestSupport.h"

namespace {

using nettest::url;

// Runs the script with a short deadline; answers the error text, or "" when it gave proxies.
std::string failureOf(const std::string& script, double& seconds, double deadline = 0.2) {
  platform::Error error;
  auto start = std::chrono::steady_clock::now();
  auto list = platform::proxiesForAutoConfigurationScript(
      script, url("http://far.example/"), &error, {.seconds = deadline, .heapBytes = 4 * 1024 * 1024});
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return list ? "" : error.localizedDescription;
}

// The same for a script whose answer is not about time: the deadline counts from before the
// script's process starts, so on a loaded machine (or under a sanitizer that slows a process's
// start) a short one may pass before the script did anything. Such a script gets a long deadline,
// and a run that still ends out of time is made again, a few times at most.
std::string answerOf(const std::string& script) {
  double seconds = 0;
  std::string answer;
  for (int run = 0; run < 5; ++run) {
    answer = failureOf(script, seconds, 10);
    if (answer != "The script ran out of time") break;
  }
  return answer;
}

}  // namespace

TEST(PACScriptLimits, ScriptsThatNeverEndAreStoppedAndReportedAsFailures) {
  double seconds = 0;
  // Generous bounds: they tell a script stopped at its deadline from one never stopped, however
  // busy the machine.
  EXPECT_EQ(failureOf("function FindProxyForURL(u,h){while(true){}}", seconds), "The script ran out of time");
  EXPECT_LT(seconds, 10);
  // A loop that catches what stops it is stopped again.
  EXPECT_EQ(failureOf("function FindProxyForURL(u,h){for(;;){try{while(true){}}catch(e){}}}", seconds),
            "The script ran out of time");
  EXPECT_LT(seconds, 10);
  // Work at the top level counts too.
  EXPECT_EQ(failureOf("while(true){} function FindProxyForURL(u,h){return 'DIRECT';}", seconds),
            "The script ran out of time");
}

TEST(PACScriptLimits, RecursionAndMemoryAreBounded) {
  const std::string deep =
      answerOf("function f(n){return f(n+1)+1;} function FindProxyForURL(u,h){return f(0);}");
  EXPECT_NE(deep, "");
  EXPECT_NE(deep, "The script ran out of time");
  EXPECT_EQ(answerOf("function FindProxyForURL(u,h){var a=[],s='x';for(;;){s=s+s+a.length;a.push(s);}}"),
            "The script ran out of memory");
  // A well-behaved script still answers.
  EXPECT_EQ(answerOf("function FindProxyForURL(u,h){return 'PROXY p:1';}"), "");
}

namespace {

// A regular expression that backtracks for seconds inside one native call, caught and tried again.
constexpr const char* backtrackingForever =
    "function FindProxyForURL(u,h){var s='aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!';"
    "for(;;){try{/^(a+)+$/.test(s);}catch(e){}}}";

}  // namespace

TEST(PACScriptLimits, AThrowingLookupIsAScriptErrorAndTheProcessGoesOn) {
  EXPECT_EQ(
      answerOf("Object.defineProperty(this,'FindProxyForURL',{get:function(){throw new Error('no');}});"),
      "FindProxyForURL failed: Error: no");
  EXPECT_EQ(answerOf("var FindProxyForURL = 3;"), "The script has no FindProxyForURL function");
  EXPECT_EQ(answerOf("function FindProxyForURL(){ return {toString:function(){throw 1;}}; }"),
            "FindProxyForURL answered no text");
}

TEST(PACScriptLimits, TheDeadlineHoldsInsideANativeCall) {
  double seconds = 0;
  EXPECT_EQ(failureOf(backtrackingForever, seconds), "The script ran out of time");
  EXPECT_LT(seconds, 10);
  // At the top level as well.
  EXPECT_EQ(failureOf(std::string(backtrackingForever) + " FindProxyForURL();", seconds),
            "The script ran out of time");
  EXPECT_LT(seconds, 10);
}

TEST(PACScriptLimits, CancellingEndsTheEvaluationAtOnce) {
  platform::PACScriptEvaluation evaluation;
  platform::Error error;
  auto start = std::chrono::steady_clock::now();
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    evaluation.cancel();
  });
  EXPECT_FALSE(evaluation.run(backtrackingForever, url("http://far.example/"), &error, {.seconds = 30}));
  canceller.join();
  // Well before the 30 s deadline, however busy the machine.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 15.0);
  EXPECT_EQ(error.localizedDescription, "The script was cancelled");
  EXPECT_TRUE(evaluation.isCancelled());
  // A cancelled evaluation does not start another script.
  EXPECT_FALSE(evaluation.run("function FindProxyForURL(){return 'DIRECT';}", url("http://h/"), &error));
}
