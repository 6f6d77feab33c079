// Running the kelpa binary for the headless tests.
#include "cli/kelpa_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <list>

namespace kelpa::test {

RunResult RunKelpa(std::vector<std::string> args, const RunOptions& options,
                   const LineObserver& onLine) {
    RunResult result;
    args.insert(args.begin(), KELPA_BINARY);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // The child inherits this process's environment with the run's entries, undone afterwards.
    std::list<kelpa::testing::ScopedEnv> environment;
    environment.emplace_back("GST_DEBUG", "0");
    for (const std::string& entry : options.environment) {
        const size_t equals = entry.find('=');
        environment.emplace_back(entry.substr(0, equals).c_str(), entry.substr(equals + 1));
    }
    char errPath[] = "/tmp/kelpa_stderr_XXXXXX";
    const int err = mkstemp(errPath);
    const int file = options.output.empty()
                         ? -1
                         : open(options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int out[2];
    if (err < 0 || pipe(out) != 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {  // nothing that allocates from here on
        dup2(file >= 0 ? file : out[1], 1);
        dup2(err, 2);
        close(out[0]);
        if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) _exit(126);
        alarm(120);  // kept across exec: a hang fails its test instead of stalling the suite
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (file >= 0) close(file);
    FILE* stream = fdopen(out[0], "r");
    char* line = nullptr;
    size_t capacity = 0;
    for (ssize_t n; (n = getline(&line, &capacity, stream)) > 0;) {
        result.lines.emplace_back(line, static_cast<size_t>(n - (line[n - 1] == '\n')));
        if (onLine) onLine(result.lines.back(), pid);
        if (result.lines.size() == options.signalAfterLines) kill(pid, options.signal);
        if (result.lines.size() == options.closeAfterLines) break;
    }
    free(line);
    fclose(stream);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.errors = kelpa::testing::ReadFile(errPath);
    close(err);
    unlink(errPath);
    return result;
}

double Field(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\": ";
    const size_t at = line.find(key);
    return at == std::string::npos ? -1e300 : std::stod(line.substr(at + key.size()));
}

bool IsSummary(const std::string& line) {
    return line.find("\"summary\": true") != std::string::npos;
}

std::vector<std::string> FilesIn(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(extension)) names.push_back(name);
    }
    return names;
}

std::vector<std::string> HeadlessTest::Args(std::vector<std::string> extra) const {
    std::vector<std::string> args = {"--headless", "--profile", profile};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

RunResult HeadlessTest::Run(std::vector<std::string> args, RunOptions options,
                            const LineObserver& onLine) const {
    kelpa::testing::ScopedEnv stateHome("XDG_STATE_HOME", state),
        configHome("XDG_CONFIG_HOME", config), dataHome("XDG_DATA_HOME", data);
    return RunKelpa(std::move(args), options, onLine);
}

}  // namespace kelpa::test
