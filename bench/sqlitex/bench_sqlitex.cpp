// "QSQLITEX" against SQLCipher's C API on the same encrypted files, opened with the same
// flags: inserting 100 000 rows in one transaction with one prepared statement, and reading
// them back, every column, forward-only. The key derivation of each connection (~30 ms)
// happens before timing starts. At the end the program prints the ratios driver/raw of the
// median real and CPU times; the target is at most 1.3.
//
// Two extra baselines say where the rest goes: "raw_qstring" reads the text column into a
// QString as any Qt program must, and "qsqlitex_positional" binds with "?" (Qt's own
// bookkeeping for positional values costs more than for named ones).
#include "sqlitex/QSqlitexDriver.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int Rows = 100000;
constexpr char Key[] = "kv rond";
const char* const DropTable = "DROP TABLE IF EXISTS Samples";
const char* const CreateTable = "CREATE TABLE Samples(Id INTEGER, Name TEXT, Value DOUBLE)";
const char* const InsertRow = "INSERT INTO Samples(Id, Name, Value) VALUES(?, ?, ?)";
const char* const SelectRows = "SELECT Id, Name, Value FROM Samples";

QString g_dir;

QString filePath(const char* name)
{
    return g_dir + QLatin1Char('/') + QLatin1String(name);
}

// Row i: an integer, a text of about 30 characters, a double. Made before timing starts,
// for both sides alike.
struct SampleRows
{
    SampleRows()
    {
        for (int i = 0; i < Rows; ++i) {
            texts.push_back(QStringLiteral("Motor_Axis_%1_Position_Value").arg(i, 6, 10, QLatin1Char('0')));
            utf8.push_back(texts.back().toStdString());
        }
    }
    std::vector<QString> texts;
    std::vector<std::string> utf8;
};

const SampleRows& samples()
{
    static const SampleRows rows;
    return rows;
}

double valueOf(int i)
{
    return i * 0.25;
}

// ---- raw SQLCipher ----

sqlite3* openRaw(const QString& file)
{
    sqlite3* db = nullptr;
    // The flags the driver opens with, so that only the driver's own work differs.
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                    nullptr);
    sqlite3_key(db, Key, int(sizeof Key - 1));
    sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr); // derives the key
    return db;
}

bool insertRaw(sqlite3* db)
{
    const SampleRows& rows = samples();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, InsertRow, -1, &insert, nullptr);
    bool ok = insert != nullptr;
    for (int i = 0; ok && i < Rows; ++i) {
        sqlite3_bind_int64(insert, 1, i);
        sqlite3_bind_text(insert, 2, rows.utf8[size_t(i)].data(), int(rows.utf8[size_t(i)].size()), SQLITE_STATIC);
        sqlite3_bind_double(insert, 3, valueOf(i));
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK && ok;
}

void BM_InsertRaw(benchmark::State& state)
{
    sqlite3* db = openRaw(filePath("insert_raw.db"));
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3_exec(db, DropTable, nullptr, nullptr, nullptr);
        sqlite3_exec(db, CreateTable, nullptr, nullptr, nullptr);
        state.ResumeTiming();
        if (!insertRaw(db))
            state.SkipWithError(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
}

template <bool ToQString>
void BM_SelectRaw(benchmark::State& state)
{
    sqlite3* db = openRaw(filePath("select.db"));
    for (auto _ : state) {
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(db, SelectRows, -1, &select, nullptr);
        int count = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_int64(select, 0));
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select, 1));
            const int bytes = sqlite3_column_bytes(select, 1);
            if (ToQString) {
                benchmark::DoNotOptimize(QString::fromUtf8(text, bytes));
            } else {
                benchmark::DoNotOptimize(text);
                benchmark::DoNotOptimize(bytes);
            }
            benchmark::DoNotOptimize(sqlite3_column_double(select, 2));
            ++count;
        }
        sqlite3_finalize(select);
        if (count != Rows)
            state.SkipWithError("the select did not read every row");
    }
    sqlite3_close(db);
}

// ---- QSQLITEX ----

// One open connection for the life of a benchmark function.
class DriverConnection
{
public:
    explicit DriverConnection(const QString& file)
    {
        QSqlitexDriver::registerDriver();
        m_db = QSqlDatabase::addDatabase(QLatin1String(QSqlitexDriver::DriverName), file);
        m_db.setDatabaseName(file);
        m_db.setPassword(QLatin1String(Key));
        m_db.open();
    }
    ~DriverConnection()
    {
        const QString name = m_db.connectionName();
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    QSqlDatabase& db() { return m_db; }

private:
    QSqlDatabase m_db;
};

template <bool Named>
bool insertDriver(QSqlDatabase& db)
{
    const SampleRows& rows = samples();
    const QString id = QStringLiteral(":id");
    const QString name = QStringLiteral(":name");
    const QString value = QStringLiteral(":value");
    db.transaction();
    bool ok = true;
    {
        QSqlQuery insert(db);
        ok = insert.prepare(Named ? QStringLiteral("INSERT INTO Samples(Id, Name, Value) VALUES(:id, :name, :value)")
                                  : QLatin1String(InsertRow));
        for (int i = 0; ok && i < Rows; ++i) {
            if (Named) {
                insert.bindValue(id, i);
                insert.bindValue(name, rows.texts[size_t(i)]);
                insert.bindValue(value, valueOf(i));
            } else {
                insert.bindValue(0, i);
                insert.bindValue(1, rows.texts[size_t(i)]);
                insert.bindValue(2, valueOf(i));
            }
            ok = insert.exec();
        }
    }
    return db.commit() && ok;
}

template <bool Named>
void BM_InsertDriver(benchmark::State& state)
{
    DriverConnection connection(filePath(Named ? "insert_driver.db" : "insert_driver_positional.db"));
    for (auto _ : state) {
        state.PauseTiming();
        QSqlQuery(connection.db()).exec(QLatin1String(DropTable));
        QSqlQuery(connection.db()).exec(QLatin1String(CreateTable));
        state.ResumeTiming();
        if (!insertDriver<Named>(connection.db()))
            state.SkipWithError(connection.db().lastError().text().toStdString().c_str());
    }
}

void BM_SelectDriver(benchmark::State& state)
{
    DriverConnection connection(filePath("select.db"));
    for (auto _ : state) {
        QSqlQuery select(connection.db());
        select.setForwardOnly(true);
        select.exec(QLatin1String(SelectRows));
        int count = 0;
        while (select.next()) {
            benchmark::DoNotOptimize(select.value(0).toLongLong());
            benchmark::DoNotOptimize(select.value(1).toString());
            benchmark::DoNotOptimize(select.value(2).toDouble());
            ++count;
        }
        if (count != Rows)
            state.SkipWithError("the select did not read every row");
    }
}

// Prints the usual table, then driver/baseline of the median real and CPU times.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            Times& times = m_times[run.run_name.function_name];
            times.real.push_back(run.GetAdjustedRealTime());
            times.cpu.push_back(run.GetAdjustedCPUTime());
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nmedian times and ratios (target: qsqlitex / raw <= 1.30)\n");
        ratio("Insert100k/qsqlitex", "Insert100k/raw");
        ratio("Insert100k/qsqlitex_positional", "Insert100k/raw");
        ratio("Select100k/qsqlitex", "Select100k/raw");
        ratio("Select100k/qsqlitex", "Select100k/raw_qstring");
    }

private:
    struct Times
    {
        std::vector<double> real;
        std::vector<double> cpu;
    };

    static double median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }

    void ratio(const std::string& driver, const std::string& raw)
    {
        const Times& d = m_times[driver];
        const Times& r = m_times[raw];
        const double realD = median(d.real), realR = median(r.real), cpuD = median(d.cpu), cpuR = median(r.cpu);
        if (realR <= 0 || cpuR <= 0 || realD <= 0)
            return;
        std::printf("  %-31s / %-22s real %7.1f / %7.1f ms = %.2f   cpu %7.1f / %7.1f ms = %.2f\n", driver.c_str(),
                    raw.c_str(), realD, realR, realD / realR, cpuD, cpuR, cpuD / cpuR);
    }

    std::map<std::string, Times> m_times;
};

void prepareSelectFile()
{
    sqlite3* db = openRaw(filePath("select.db"));
    sqlite3_exec(db, DropTable, nullptr, nullptr, nullptr);
    sqlite3_exec(db, CreateTable, nullptr, nullptr, nullptr);
    insertRaw(db);
    sqlite3_close(db);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = dir.path();
    samples();
    prepareSelectFile();

    // Raw and driver runs alternate in random order, so that the load of a shared machine
    // falls on both alike.
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.push_back(interleave.data());
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());

    const auto add = [](const char* name, void (*function)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7);
    };
    add("Insert100k/raw", BM_InsertRaw);
    add("Insert100k/qsqlitex", BM_InsertDriver<true>);
    add("Insert100k/qsqlitex_positional", BM_InsertDriver<false>);
    add("Select100k/raw", BM_SelectRaw<false>);
    add("Select100k/raw_qstring", BM_SelectRaw<true>);
    add("Select100k/qsqlitex", BM_SelectDriver);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
