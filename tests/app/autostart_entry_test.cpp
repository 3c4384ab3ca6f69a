#include "app/autostart_entry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "base/install_paths.h"
#include "support/temp_dir.h"

namespace morva::app {
namespace {

// Sets an environment variable (or unsets it for nullopt) for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string MakeExecutable(const test::TempDir& dir, const std::string& name) {
    std::filesystem::create_directories(std::filesystem::path(dir.File(name)).parent_path());
    const std::string path = dir.Write(name, "#!/bin/sh\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

// `bin` first on the PATH, so it wins over an installed copy.
std::string PathWith(const std::string& bin) {
    const char* path = std::getenv("PATH");
    return path != nullptr ? bin + ":" + path : bin;
}

std::string ExecLine(const std::string& text) {
    const std::size_t at = text.find("\nExec=");
    return at == std::string::npos ? "" : text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

// The desktop's own validator, where installed: the written entry must be one it accepts.
void ExpectValidEntry(const std::string& path) {
    if (std::system("command -v desktop-file-validate >/dev/null") != 0)
        return;
    EXPECT_EQ(std::system(("desktop-file-validate '" + path + "'").c_str()), 0) << path;
}

TEST(AutostartEntry, SwitchesTheUserEntryFromTheShippedTemplate) {
    test::TempDir dir;
    const ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
    const ScopedEnv path("PATH", PathWith(dir.File("bin")));
    const std::string program = MakeExecutable(dir, "bin/morva-tr510");
    const std::string entry = dir.File("config/autostart/morva-tr510.desktop");

    CAutostartEntry autostart(QString::fromStdString(program));
    EXPECT_EQ(autostart.Path().toStdString(), entry);
    EXPECT_FALSE(autostart.Enabled());

    QString error;
    ASSERT_TRUE(autostart.SetEnabled(true, &error)) << error.toStdString();
    EXPECT_TRUE(autostart.Enabled());
    // The program the PATH finds keeps the template's own command: the copy is exact.
    const std::string shipped =
        test::TempDir::Read(ResourceFolder() + "/autostart/morva-tr510.desktop");
    ASSERT_NE(shipped, "");
    EXPECT_EQ(test::TempDir::Read(entry), shipped);
    EXPECT_EQ(ExecLine(shipped), "Exec=morva-tr510 --tray");
    ExpectValidEntry(entry);

    ASSERT_TRUE(autostart.SetEnabled(false, &error)) << error.toStdString();
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(autostart.Enabled());
    EXPECT_TRUE(autostart.SetEnabled(false, &error)) << "switching off twice";
}

TEST(AutostartEntry, StartsAProgramOffThePathByItsFullQuotedName) {
    struct Case {
        const char* program;
        const char* exec;  // with <dir> for the temporary folder
    };
    const Case cases[] = {
        {"build/morva-tr510", "Exec=<dir>/build/morva-tr510 --tray"},
        {"my apps/50% $off/morva-tr510", "Exec=\"<dir>/my apps/50%% \\\\$off/morva-tr510\" --tray"},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
        const ScopedEnv path("PATH", PathWith(dir.File("bin")));
        MakeExecutable(dir, "bin/morva-tr510");  // another copy on the PATH
        const std::string program = MakeExecutable(dir, c.program);
        // No template: the built-in entry is written.
        CAutostartEntry autostart(QString::fromStdString(program),
                                  QString::fromStdString(dir.File("missing.desktop")));
        QString error;
        ASSERT_TRUE(autostart.SetEnabled(true, &error)) << error.toStdString();
        std::string want = c.exec;
        want.replace(want.find("<dir>"), 5, dir.path().string());
        const std::string written = test::TempDir::Read(autostart.Path().toStdString());
        EXPECT_EQ(ExecLine(written), want) << c.program;
        EXPECT_NE(written.find("X-GNOME-Autostart-enabled=true"), std::string::npos);
        ExpectValidEntry(autostart.Path().toStdString());
    }
}

TEST(AutostartEntry, ReadsAnEntryTheDesktopSwitchedOffAndReplacesIt) {
    test::TempDir dir;
    const ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
    const std::string program = MakeExecutable(dir, "bin/morva-tr510");
    CAutostartEntry autostart(QString::fromStdString(program));
    std::filesystem::create_directories(dir.File("config/autostart"));
    for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        dir.Write("config/autostart/morva-tr510.desktop",
                  std::string("[Desktop Entry]\nType=Application\nExec=x\n") + off + "\n");
        EXPECT_FALSE(autostart.Enabled()) << off;
        QString error;
        ASSERT_TRUE(autostart.SetEnabled(true, &error)) << error.toStdString();
        EXPECT_TRUE(autostart.Enabled()) << off;
    }
    // A key of another group says nothing about the entry.
    dir.Write("config/autostart/morva-tr510.desktop",
              "[Desktop Entry]\nExec=x\n[Desktop Action hide]\nHidden=true\n");
    EXPECT_TRUE(autostart.Enabled());
}

TEST(AutostartEntry, FallsBackToHomeAndReportsAFolderItCannotMake) {
    test::TempDir dir;
    const ScopedEnv home("HOME", dir.path().string());
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>("relative/config")}) {
        const ScopedEnv config("XDG_CONFIG_HOME", value);
        EXPECT_EQ(CAutostartEntry(QStringLiteral("/p")).Path().toStdString(),
                  dir.File(".config/autostart/morva-tr510.desktop"));
    }

    const ScopedEnv config("XDG_CONFIG_HOME", dir.Write("not-a-folder", "x"));
    CAutostartEntry autostart(QStringLiteral("/p"));
    QString error;
    EXPECT_FALSE(autostart.SetEnabled(true, &error));
    EXPECT_NE(error.indexOf(QStringLiteral("not-a-folder/autostart")), -1) << error.toStdString();
    EXPECT_FALSE(autostart.Enabled());
}

}  // namespace
}  // namespace morva::app
