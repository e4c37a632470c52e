// The routes of a long class path, each at its limit and one character over it: the command
// line (32,766 characters), Java 9's argument file, CLASSPATH (a value of 32,766 characters) and
// the class-path jar; a stand-in VM records what it received.
#include <windows.h>

#include <gtest/gtest.h>

#include "Errors.h"
#include "JVM.h"
#include "StringTable.h"
#include "TestFolder.h"
#include "VmCommandLine.h"

using namespace tarrow;
using tarrow::test::TestFolder;

namespace {

constexpr size_t kLimit = 32766; // characters of a command line, and of a variable's value

enum class Route { CommandLine, ArgumentFile, Environment, Jar, Refused };

// What the stand-in recorded of its last start.
struct Received {
    std::string commandLine, argumentFile, classPathVariable, classPathJar;
    bool hasClassPathVariable = false;
};

std::string field(const std::string& record, const std::string& name, bool* found = nullptr) {
    const size_t at = record.rfind("\n" + name);
    if (found)
        *found = at != std::string::npos;
    if (at == std::string::npos)
        return std::string();
    const size_t start = at + 1 + name.size();
    return record.substr(start, record.find('\n', start) - start);
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

class ClassPathRoutes : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.copyStandin(L"standin_plain", L"vm\\bin\\java.exe");
        record = folder / L"record.txt";
        SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", record.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", nullptr);
        SetEnvironmentVariableW(L"CLASSPATH", nullptr);
    }

    std::unique_ptr<JVM> vm(int major) const {
        std::unique_ptr<JVM> made;
        if (major < 2)
            made = std::make_unique<J1VM>();
        else
            made = std::make_unique<J2VM>();
        made->home = folder / L"vm";
        made->version = JVMVersion(major < 2 ? 1 : major, major < 2 ? 1 : 0, 0);
        return made;
    }

    // A class path of drive-letter entries whose text ("entry;" each) has exactly `length`
    // characters.
    static Path classPathOf(size_t length) {
        Path path;
        size_t used = 0;
        for (int i = 0; used < length; ++i) {
            std::wstring entry = L"C:\\lib\\part" + std::to_wstring(i) + L".jar";
            const size_t room = length - used - 1;
            if (entry.size() > room || room - entry.size() < 20)
                entry = L"C:\\lib\\" + std::wstring(room - 11, L'z') + L".jar";
            path.append(entry);
            used += entry.size() + 1;
        }
        return path;
    }

    // Options whose command line (on the command-line route) has exactly `length` characters;
    // the class path is longer than an argument file's path.
    static JavaOptions lineOf(const JVM& vm, size_t length) {
        JavaOptions options;
        options.mainClass = L"Main";
        options.classPath = classPathOf(400);
        options.additionalOptions = L"-Dpad=";
        options.additionalOptions += std::wstring(length - vm.commandLine(options).size(), L'p');
        return options;
    }

    Received launch(JVM& vm, const JavaOptions& options) {
        DeleteFileW(record.c_str());
        SetEnvironmentVariableW(L"CLASSPATH", nullptr);
        vm.launch(options, true);
        const std::string text = "\n" + tarrow::test::readFile(record);
        Received got;
        got.commandLine = field(text, "commandline=");
        got.argumentFile = field(text, "argfile=");
        got.classPathJar = field(text, "classpathjar=");
        got.classPathVariable = field(text, "env=CLASSPATH=", &got.hasClassPathVariable);
        return got;
    }

    TestFolder folder;
    std::wstring record;
};

Route routeOf(const Received& got) {
    if (!got.argumentFile.empty())
        return Route::ArgumentFile;
    if (!got.classPathJar.empty())
        return Route::Jar;
    if (got.commandLine.find(" -classpath \"") != std::string::npos)
        return Route::CommandLine;
    return got.hasClassPathVariable ? Route::Environment : Route::Refused;
}

} // namespace

TEST_F(ClassPathRoutes, CommandLineAtItsLimitAndOneOver) {
    const struct {
        int major;
        size_t length;
        Route route;
    } cases[] = {
        {11, kLimit, Route::CommandLine}, {11, kLimit + 1, Route::ArgumentFile},
        {8, kLimit, Route::CommandLine},  {8, kLimit + 1, Route::Environment},
        {1, kLimit, Route::CommandLine},  {1, kLimit + 1, Route::Environment},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "Java " << c.major << ", line " << c.length);
        auto java = vm(c.major);
        const JavaOptions options = lineOf(*java, c.length);
        const std::wstring whole = java->commandLine(options);
        ASSERT_EQ(whole.size(), c.length);
        const Received got = launch(*java, options);
        EXPECT_EQ(routeOf(got), c.route);
        if (c.route == Route::CommandLine) {
            EXPECT_EQ(got.commandLine, narrow(whole));
        } else if (c.route == Route::ArgumentFile) {
            EXPECT_EQ(got.argumentFile + "\n",
                      narrow(javaArgumentFileText(options.classPath.toString())));
            EXPECT_EQ(got.commandLine.find("-classpath"), std::string::npos);
        } else {
            JavaOptions withoutClassPath = options;
            withoutClassPath.classPathRoute = ClassPathRoute::Environment;
            EXPECT_EQ(got.commandLine, narrow(java->commandLine(withoutClassPath)));
            EXPECT_EQ(got.classPathVariable, narrow(options.classPath.toString()));
        }
    }
}

TEST_F(ClassPathRoutes, ClassPathVariableAtItsLimitAndOneOver) {
    const struct {
        int major;
        size_t length;
        Route route;
    } cases[] = {
        {8, kLimit, Route::Environment},       {8, kLimit + 1, Route::Jar},
        {11, kLimit + 1, Route::ArgumentFile}, // an argument file holds any length
        {1, kLimit, Route::Environment},       {1, kLimit + 1, Route::Refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "Java " << c.major << ", class path " << c.length);
        auto java = vm(c.major);
        JavaOptions options;
        options.mainClass = L"Main";
        options.classPath = classPathOf(c.length);
        ASSERT_EQ(options.classPath.toString().size(), c.length);
        if (c.route == Route::Refused) {
            try {
                launch(*java, options);
                ADD_FAILURE() << "started";
            } catch (const TerminalError& e) {
                EXPECT_EQ(e.message(), vmStartFailedMessage(ERROR_FILENAME_EXCED_RANGE));
            }
            EXPECT_EQ(tarrow::test::readFile(record), "");
            continue;
        }
        const Received got = launch(*java, options);
        EXPECT_EQ(routeOf(got), c.route);
        if (c.route == Route::Environment) {
            EXPECT_EQ(got.classPathVariable, narrow(options.classPath.toString()));
        }
        if (c.route == Route::Jar) {
            // The jar's manifest lists every entry; the variable is not used.
            EXPECT_FALSE(got.hasClassPathVariable);
            EXPECT_NE(got.classPathJar.find("4d414e49464553542e4d46"),
                      std::string::npos); // MANIFEST.MF
        }
    }
}
