#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/net/SystemProxySettings.h"
#include "tests/platform/net/NetTestSupport.h"

namespace {

using nettest::url;

// Runs the script with a short deadline; answers the error text, or "" when it gave proxies.
std::string failureOf(const std::string& script, double& seconds) {
  platform::Error error;
  auto start = std::chrono::steady_clock::now();
  auto list = platform::proxiesForAutoConfigurationScript(script, url("http://far.example/"), &error,
                                                          {.seconds = 0.2, .heapBytes = 4 * 1024 * 1024});
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return list ? "" : error.localizedDescription;
}

}  // namespace

TEST(PACScriptLimits, ScriptsThatNeverEndAreStoppedAndReportedAsFailures) {
  double seconds = 0;
  EXPECT_EQ(failureOf("function FindProxyForURL(u,h){while(true){}}", seconds), "The script ran out of time");
  EXPECT_LT(seconds, 1.5);
  // A loop that catches what stops it is stopped again.
  EXPECT_EQ(failureOf("function FindProxyForURL(u,h){for(;;){try{while(true){}}catch(e){}}}", seconds),
            "The script ran out of time");
  EXPECT_LT(seconds, 1.5);
  // Work at the top level counts too.
  EXPECT_EQ(failureOf("while(true){} function FindProxyForURL(u,h){return 'DIRECT';}", seconds),
            "The script ran out of time");
}

TEST(PACScriptLimits, RecursionAndMemoryAreBounded) {
  double seconds = 0;
  EXPECT_NE(failureOf("function f(n){return f(n+1)+1;} function FindProxyForURL(u,h){return f(0);}", seconds),
            "");
  EXPECT_LT(seconds, 1.5);
  EXPECT_EQ(
      failureOf("function FindProxyForURL(u,h){var a=[],s='x';for(;;){s=s+s+a.length;a.push(s);}}", seconds),
      "The script ran out of memory");
  // A well-behaved script still answers.
  EXPECT_EQ(failureOf("function FindProxyForURL(u,h){return 'PROXY p:1';}", seconds), "");
}

namespace {

// A regular expression that backtracks for seconds inside one native call, caught and tried again.
constexpr const char* backtrackingForever =
    "function FindProxyForURL(u,h){var s='aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!';"
    "for(;;){try{/^(a+)+$/.test(s);}catch(e){}}}";

}  // namespace

TEST(PACScriptLimits, AThrowingLookupIsAScriptErrorAndTheProcessGoesOn) {
  double seconds = 0;
  EXPECT_EQ(
      failureOf("Object.defineProperty(this,'FindProxyForURL',{get:function(){throw new Error('no');}});",
                seconds),
      "FindProxyForURL failed: Error: no");
  EXPECT_EQ(failureOf("var FindProxyForURL = 3;", seconds), "The script has no FindProxyForURL function");
  EXPECT_EQ(failureOf("function FindProxyForURL(){ return {toString:function(){throw 1;}}; }", seconds),
            "FindProxyForURL answered no text");
}

TEST(PACScriptLimits, TheDeadlineHoldsInsideANativeCall) {
  double seconds = 0;
  EXPECT_EQ(failureOf(backtrackingForever, seconds), "The script ran out of time");
  EXPECT_LT(seconds, 0.8);
  // At the top level as well.
  EXPECT_EQ(failureOf(std::string(backtrackingForever) + " FindProxyForURL();", seconds),
            "The script ran out of time");
  EXPECT_LT(seconds, 0.8);
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
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
  EXPECT_EQ(error.localizedDescription, "The script was cancelled");
  EXPECT_TRUE(evaluation.isCancelled());
  // A cancelled evaluation does not start another script.
  EXPECT_FALSE(evaluation.run("function FindProxyForURL(){return 'DIRECT';}", url("http://h/"), &error));
}
