// Running a program and reading what it prints, for the tests that drive the kaltra host:
// files, lines and tab-separated fields, and a scratch folder that runs shell commands.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kaltra::test {

// What a program printed on its standard output and error, and how it ended (128 + the
// signal for a program killed by one).
struct Outcome {
    std::string out;
    std::string err;
    int status = -1;
};

// A text as one word of a shell command.
inline std::string shellQuoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The fields of a line split on every tab, empty ones kept.
inline std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    for (std::string::size_type start = 0;;) {
        const std::string::size_type tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

// A folder of its own for a test's files, removed with them when the scratch goes.
class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/kaltra-test-XXXXXX";
        if (mkdtemp(pattern)) folder_ = pattern;
    }
    ~Scratch() {
        if (!folder_.empty()) std::system(("rm -rf " + shellQuoted(folder_)).c_str());
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& folder() const { return folder_; }

    // Writes a file of the folder and answers its path.
    std::string file(const std::string& name, const std::string& content) const {
        const std::string path = folder_ + "/" + name;
        writeFile(path, content);
        return path;
    }

    // Runs a shell command with the given standard input.
    Outcome run(const std::string& command, const std::string& input = "") const {
        const std::string in = file("stdin", input), err = folder_ + "/stderr";
        Outcome outcome;
        FILE* pipe = popen((command + " < " + shellQuoted(in) + " 2> " + shellQuoted(err)).c_str(), "r");
        if (!pipe) return outcome;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.out.append(buffer, n);
        const int status = pclose(pipe);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.err = readFile(err);
        return outcome;
    }

#ifdef KALTRA_HOST_PATH
    // Runs the kaltra host with the arguments; it finds the add-in beside itself unless the
    // prefix says otherwise.
    Outcome kaltra(const std::vector<std::string>& arguments, const std::string& input = "",
                   const std::string& prefix = "env -u KALTRA_ADDIN ") const {
        std::string command = prefix + shellQuoted(KALTRA_HOST_PATH);
        for (const std::string& argument : arguments) command.append(" ").append(shellQuoted(argument));
        return run(command, input);
    }
#endif

private:
    std::string folder_;
};

}  // namespace kaltra::test
