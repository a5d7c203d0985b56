// The Cookie text of a request with 10,000 stored cookies: every HTTP request asks for it under
// the store's lock, so its cost is paid by all worker threads.
#include <benchmark/benchmark.h>

#include <string>

#include "net/cookie/cookie_store.h"

namespace tellweir {
namespace {

constexpr int kTotal = 10000;
constexpr int kOnSite = 24;  // cookies filed under the looked-up site

// Most cookies on 2,000 other sites (five paths each); some on site.test and its hosts.
void Fill(CCookieStore& store) {
    const DateTime added = DateTime::Now();
    for (int i = 0; i < kTotal - kOnSite; ++i) {
        const std::string domain = "www.d" + std::to_string(i / 5) + ".test";
        store.AddCookie(domain, "/p" + std::to_string(i % 5), false, "id=" + std::to_string(i),
                        "Wed, 09-Jun-2100 10:18:14 GMT", added);
    }
    const char* hosts[] = {"site.test", "www.site.test", "img.site.test", ".site.test"};
    const char* paths[] = {"/", "/docs", "/docs/api", "/shop", "/img", "/login"};
    for (const char* host : hosts) {
        for (const char* path : paths) {
            store.AddCookie(host, path, false, std::string("session=") + host + path, "", added);
        }
    }
}

void BM_GetCookieHeader(benchmark::State& state) {
    CCookieStore store;
    Fill(store);
    const char* host = state.range(0) == 0 ? "www.site.test" : "www.unknown.test";
    std::string out;
    for (auto _ : state) {
        store.GetCookieHeader(host, "/docs/api/index.html", false, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetLabel(out.empty() ? "no cookies" : std::to_string(out.size()) + " bytes");
}
BENCHMARK(BM_GetCookieHeader)->Arg(0)->Arg(1)->ArgName("miss");

void BM_AddFromHeader(benchmark::State& state) {
    CCookieStore store;
    Fill(store);
    const DateTime added = DateTime::Now();
    for (auto _ : state) {
        store.AddFromHeader(
            "sid=31d4d96e407aad42; Path=/docs; Expires=Wed, 09 Jun 2100 10:18:14 GMT",
            "www.site.test", "/", added);
    }
}
BENCHMARK(BM_AddFromHeader);

}  // namespace
}  // namespace tellweir

BENCHMARK_MAIN();
