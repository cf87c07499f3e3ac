// Throughput of the chart files: the native file written and read next to a `cp` of the
// same bytes, and the SYLK script exported and imported, with the import's peak memory.
// Files go to $TAVIX_BENCH_DIR (default: the temporary folder).
#include "ChartEdit.h"
#include "ChartFile.h"
#include "KeP.h"
#include "SylkWriter.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace tavix;

namespace {

constexpr int32_t NativeCells = 1'000'000;
constexpr int32_t ScriptCells = 200'000;

KeP nativeChart()
{
    std::vector<uint8_t> grid(KeP::gridSize(NativeCells));
    std::mt19937 random(1);
    for (auto& b : grid)
        b = random() % 5 == 0;
    KeP kep;
    ChartEdit(kep).replaceGrid(std::move(grid));
    return kep;
}

// About a third of the cells hold keys, with a confirm marker every two measures.
KeP scriptChart()
{
    KeP kep;
    ChartEdit edit(kep);
    edit.resizeCells(ScriptCells);
    kep.ScriptMode = true;
    std::mt19937 random(2);
    for (int32_t c = 0; c < ScriptCells; ++c) {
        if (random() % 3 == 0) {
            edit.set(KeP::flatIndex(c, int(1 + random() % 6)), 1);
            if (random() % 2)
                edit.set(KeP::flatIndex(c, int(1 + random() % 6)), 1);
        }
        if (c % 32 == 0)
            edit.set(KeP::flatIndex(c, 7), 1);
    }
    return kep;
}

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size();
}

bool spawnAndWait(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Context
{
    QTemporaryDir dir;
    KeP native = nativeChart();
    KeP script = scriptChart();
    QString nativePath;
    QString scriptPath;

    explicit Context(const QString& base) : dir(base + QStringLiteral("/tavix-bench-XXXXXX"))
    {
        nativePath = dir.filePath(QStringLiteral("bench.zts"));
        scriptPath = dir.filePath(QStringLiteral("bench.slk"));
        SaveChart(native, nativePath, 2);
        SaveChart(script, scriptPath, 1);
    }
};

void nativeWrite(benchmark::State& state, Context& ctx)
{
    const QString path = ctx.dir.filePath(QStringLiteral("written.zts"));
    for (auto _ : state)
        if (!SaveChart(ctx.native, path, 2).ok())
            state.SkipWithError("save failed");
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}

void nativeRead(benchmark::State& state, Context& ctx)
{
    for (auto _ : state) {
        KeP kep;
        ChartEdit edit(kep);
        if (!LoadChart(edit, ctx.nativePath).ok())
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(kep.KeyGrid.data());
    }
    state.SetBytesProcessed(state.iterations() * fileSize(ctx.nativePath));
}

void copyWithCp(benchmark::State& state, Context& ctx)
{
    const std::string from = ctx.nativePath.toStdString();
    const std::string to = ctx.dir.filePath(QStringLiteral("copied.zts")).toStdString();
    for (auto _ : state)
        if (!spawnAndWait({"cp", from, to}))
            state.SkipWithError("cp failed");
    state.SetBytesProcessed(state.iterations() * fileSize(ctx.nativePath));
}

void scriptExport(benchmark::State& state, Context& ctx)
{
    const QString path = ctx.dir.filePath(QStringLiteral("written.slk"));
    for (auto _ : state)
        if (!SaveChart(ctx.script, path, 1).ok())
            state.SkipWithError("export failed");
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}

void scriptExportInMemory(benchmark::State& state, Context& ctx)
{
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray text = SylkWriter::script(ctx.script);
        bytes = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void scriptImport(benchmark::State& state, Context& ctx)
{
    for (auto _ : state) {
        KeP kep;
        ChartEdit edit(kep);
        if (!LoadChart(edit, ctx.scriptPath).ok())
            state.SkipWithError("import failed");
        benchmark::DoNotOptimize(kep.KeyGrid.data());
    }
    state.SetBytesProcessed(state.iterations() * fileSize(ctx.scriptPath));
}

qint64 statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Run in a fresh process: the peak resident memory the import adds, in bytes.
int measureImportPeak(const char* path)
{
    {
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (!reset.open(QIODevice::WriteOnly) || reset.write("5") != 1)
            return 1;
    }
    const qint64 before = statusKb("VmRSS");
    KeP kep;
    ChartEdit edit(kep);
    if (!LoadChart(edit, QString::fromLocal8Bit(path)).ok())
        return 1;
    const qint64 peak = statusKb("VmHWM");
    std::printf("%lld\n", (long long)((peak - before) * 1024));
    return 0;
}

void importPeakMemory(benchmark::State& state, Context& ctx)
{
    qint64 peak = -1;
    for (auto _ : state) {
        QProcess child;
        child.start(QStringLiteral("/proc/self/exe"),
                    {QStringLiteral("--import-peak"), ctx.scriptPath});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            state.SkipWithError(
                "the measuring process failed (is /proc/self/clear_refs writable?)");
            return;
        }
        peak = child.readAllStandardOutput().trimmed().toLongLong();
    }
    const double file = double(fileSize(ctx.scriptPath));
    const double grid = double(ctx.script.KeyGrid.size());
    state.counters["peak_MB"] = double(peak) / 1e6;
    state.counters["file_MB"] = file / 1e6;
    state.counters["grid_MB"] = grid / 1e6;
    state.counters["peak_per_file+grid"] = double(peak) / (file + grid);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--import-peak") == 0)
        return measureImportPeak(argv[2]);

    benchmark::Initialize(&argc, argv);
    const QString base = qEnvironmentVariable("TAVIX_BENCH_DIR", QDir::tempPath());
    Context ctx(base);
    std::printf("files in %s: native %lld bytes (%d cells), script %lld bytes (%d cells)\n",
                qPrintable(ctx.dir.path()), (long long)fileSize(ctx.nativePath), NativeCells,
                (long long)fileSize(ctx.scriptPath), ScriptCells);

    const auto add = [&](const char* name, void (*fn)(benchmark::State&, Context&)) {
        return benchmark::RegisterBenchmark(name, [fn, &ctx](benchmark::State& s) { fn(s, ctx); })
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    };
    add("NativeWrite/1M_cells", nativeWrite);
    add("NativeRead/1M_cells", nativeRead);
    add("CpSameFile/1M_cells", copyWithCp);
    add("SylkExport/200k_cells", scriptExport);
    add("SylkExportInMemory/200k_cells", scriptExportInMemory);
    add("SylkImport/200k_cells", scriptImport);
    add("SylkImportPeakMemory/200k_cells", importPeakMemory)->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
