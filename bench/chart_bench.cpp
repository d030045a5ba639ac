// How long the portfolio window's chart takes to draw a security, by the
// number of records in view, in every style: 65,534 records (the most a
// price file holds) against 250 (a year of days) drawn in the same run, so
// that the ratio says what the decimation to the pixel width saves.
// And how long the portfolio window takes to open a portfolio of 2,000
// securities against one of 20. Runs on the offscreen platform; draws into
// an image the size of a large window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "shell/portfolio_window.h"
#include "shell/price_chart.h"
#include "shell/qt_prompt.h"
#include "shell/tarvel_app.h"

namespace {

using tarvel::CPriceChart;
using tarvel::PriceBar;

std::vector<PriceBar> Bars(int count) {
    std::vector<PriceBar> bars;
    bars.reserve(static_cast<std::size_t>(count));
    int y = 1850, m = 1, d = 1;
    for (int i = 0; i < count; ++i) {
        const float close =
            50.0f + 20.0f * std::sin(static_cast<float>(i) / 300.0f) + static_cast<float>(i % 7);
        bars.push_back({y * 10000 + m * 100 + d, close - 1, close + 2, close - 2, close,
                        1000.0f + static_cast<float>(i % 500)});
        if (++d > 28) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
    }
    return bars;
}

void BM_DrawChart(benchmark::State& state) {
    CPriceChart chart;
    chart.resize(1600, 900);
    chart.SetBars(Bars(static_cast<int>(state.range(0))));
    chart.SetStyle(static_cast<CPriceChart::EStyle>(state.range(1)));
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        chart.Render(painter, image.rect());
    }
}

// A portfolio of `count` securities of 250 days each, made once by tarvel-cli.
std::string Portfolio(int count) {
    const std::string base =
        std::filesystem::temp_directory_path() / ("tarvel-bench-pf-" + std::to_string(count));
    if (std::filesystem::exists(base + "/pf/MASTER")) return base + "/pf";
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base + "/in");
    for (int i = 0; i < count; ++i) {
        std::ofstream file(base + "/in/S" + std::to_string(i) + ".csv");
        file << "Date,Open,High,Low,Close,Volume\n";
        for (int d = 0; d < 250; ++d)
            file << 2020 + d / 336 << "-" << 1 + d % 336 / 28 << "-" << 1 + d % 28 << ",10,12,9,11,"
                 << 100 + d << "\n";
    }
    const std::string command =
        std::string(TARVEL_CLI_PATH) + " convert " + base + "/in --out " + base + "/pf >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) std::abort();
    return base + "/pf";
}

void BM_OpenPortfolio(benchmark::State& state) {
    const QString dir = QString::fromStdString(Portfolio(static_cast<int>(state.range(0))));
    auto platform = tarvel::MakeSystemPlatform();
    tarvel::CQtPrompt prompt;
    tarvel::CTarvelApp app(*platform, prompt);
    for (auto _ : state) {
        tarvel::CPortfolioWindow window(app);
        if (!window.OpenPortfolio(dir)) std::abort();
    }
}

}  // namespace

BENCHMARK(BM_OpenPortfolio)->Arg(20)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawChart)
    ->ArgsProduct({{250, 65534}, {0, 1, 2}})
    ->ArgNames({"records", "style"})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
