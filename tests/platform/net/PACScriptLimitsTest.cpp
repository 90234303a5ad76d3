#include <gtest/gtest.h>

#include <chrono>

#include "platform/net/SystemProxySettings.h"

namespace {

platform::URL url(const std::string& s) { return *platform::URL::parse(s); }

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
      failureOf(
          "function FindProxyForURL(u,h){var a=[];for(;;){a.push(new Array(10000).join('x')+a.length);}}",
          seconds),
      "The script ran out of memory");
  // A well-behaved script still answers.
  EXPECT_EQ(failureOf("function FindProxyForURL(u,h){return 'PROXY p:1';}", seconds), "");
}
