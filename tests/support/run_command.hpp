#pragma once
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <fstream>
#include <iterator>
#include <utility>
#include <vector>
#endif

namespace qln::test_support {

#ifdef _WIN32
namespace detail {

inline std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

// One argument as the C run-time splits the command line again.
inline std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring q = L"\"";
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
    } else if (c == L'"') {
      q.append(slashes + 1, L'\\');
      slashes = 0;
    } else {
      slashes = 0;
    }
    q.push_back(c);
  }
  q.append(slashes, L'\\');
  return q + L"\"";
}

// Lines written in text mode end with CR LF; they are compared as LF, and a
// bare LF stays as it is so that the comparison shows it.
inline void lf_line_ends(const std::string& path) {
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::string lf;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return;
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lf.push_back(text[i]);
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << lf;
}

inline HANDLE open_redirect(const std::string& path) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  const std::wstring name = path == "/dev/null" ? L"NUL" : wide(path);
  return CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace detail

// Runs a command of the form the tests write for a POSIX shell,
//   [cd 'DIR' &&] [NAME='VALUE'...] [timeout SECONDS] 'PROGRAM' ARGS... [>'OUT'] [2>'ERR']
// with the shell's quoting, directly through CreateProcessW. Returns the
// program's exit code, 124 when it ran out of time (as timeout does), -1
// when it could not be started.
inline int run_command(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else if (c == '\'') {
      const std::size_t end = command.find('\'', i + 1);
      word += command.substr(i + 1, end - i - 1);
      i = end;
      in_word = true;
    } else if (c == '"') {
      for (++i; i < command.size() && command[i] != '"'; ++i) {
        if (command[i] == '\\' && i + 1 < command.size() && (command[i + 1] == '"' || command[i + 1] == '\\')) ++i;
        word.push_back(command[i]);
      }
      in_word = true;
    } else if ((c == '>' || (c == '2' && !in_word && i + 1 < command.size() && command[i + 1] == '>'))) {
      if (in_word) words.push_back(word);
      word.clear();
      if (c == '2') ++i;
      words.push_back(c == '2' ? "2>" : ">");
      in_word = false;
    } else {
      word.push_back(c);
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);

  std::string dir, out, err;
  std::wstring line;
  std::wstring program;
  std::vector<std::pair<std::wstring, std::wstring>> env;  // name, value
  DWORD limit = INFINITE;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::size_t eq = words[i].find('=');
    if (words[i] == "cd" && i + 2 < words.size() && words[i + 2] == "&&") {
      dir = words[i + 1];
      i += 2;
    } else if (program.empty() && eq != std::string::npos && eq > 0 &&
               words[i].find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") == eq) {
      env.emplace_back(detail::wide(words[i].substr(0, eq)), detail::wide(words[i].substr(eq + 1)));
    } else if (program.empty() && words[i] == "timeout" && i + 1 < words.size()) {
      limit = static_cast<DWORD>(std::stoul(words[++i])) * 1000;
    } else if (words[i] == ">" && i + 1 < words.size()) {
      out = words[++i];
    } else if (words[i] == "2>" && i + 1 < words.size()) {
      err = words[++i];
    } else {
      if (program.empty()) program = detail::wide(words[i]);
      if (!line.empty()) line.push_back(L' ');
      line += detail::quoted(detail::wide(words[i]));
    }
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out.empty() ? GetStdHandle(STD_OUTPUT_HANDLE) : detail::open_redirect(out);
  si.hStdError = err.empty() ? GetStdHandle(STD_ERROR_HANDLE) : detail::open_redirect(err);
  PROCESS_INFORMATION pi{};
  const std::wstring cwd = detail::wide(dir);
  // The child takes the environment as it is when it starts; ours is put back.
  std::vector<std::pair<std::wstring, std::wstring>> saved;
  for (const auto& [name, value] : env) {
    wchar_t old[32768];
    const DWORD n = GetEnvironmentVariableW(name.c_str(), old, 32768);
    saved.emplace_back(name, n > 0 && n < 32768 ? std::wstring(old, n) : std::wstring(1, L'\0'));
    SetEnvironmentVariableW(name.c_str(), value.c_str());
  }
  const BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
  for (const auto& [name, value] : saved) {
    SetEnvironmentVariableW(name.c_str(), value == std::wstring(1, L'\0') ? nullptr : value.c_str());
  }
  DWORD code = static_cast<DWORD>(-1);
  if (started) {
    if (WaitForSingleObject(pi.hProcess, limit) == WAIT_TIMEOUT) {
      TerminateProcess(pi.hProcess, 124);
      WaitForSingleObject(pi.hProcess, INFINITE);
    }
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  if (!out.empty()) CloseHandle(si.hStdOutput);
  if (!err.empty()) CloseHandle(si.hStdError);
  if (!started) return -1;
  for (const std::string& path : {out, err}) {
    if (!path.empty() && path != "/dev/null") detail::lf_line_ends(path);
  }
  return static_cast<int>(code & 0xFF);
}
#else
inline int run_command(const std::string& command) { return std::system(command.c_str()); }
#endif

}  // namespace qln::test_support
