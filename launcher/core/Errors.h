// The launcher's exception types. Every condition that ends a launch is a TerminalError with a
// user-facing text; lower layers raise FileException or KeyException. Platform-free.
#pragma once

#include <exception>
#include <string>

namespace tarrow {

// Common base: none of the launcher's exceptions carries a narrow text, so what() gives the
// same default text on every toolchain.
class LauncherException : public std::exception {
  public:
    const char* what() const noexcept override { return "Unknown exception"; }
};

class TerminalError : public LauncherException {
  public:
    explicit TerminalError(std::wstring message) : message_(std::move(message)) {}
    const std::wstring& message() const { return message_; }

  private:
    std::wstring message_;
};

class FileException : public LauncherException {
  public:
    FileException(std::wstring message, std::wstring path)
        : message_(std::move(message)), path_(std::move(path)) {}
    const std::wstring& message() const { return message_; }
    const std::wstring& path() const { return path_; }

  private:
    std::wstring message_;
    std::wstring path_;
};

class RegistryException : public LauncherException {
  public:
    explicit RegistryException(std::wstring message) : message_(std::move(message)) {}
    const std::wstring& message() const { return message_; }

  private:
    std::wstring message_;
};

class KeyException : public RegistryException {
  public:
    KeyException(std::wstring message, std::wstring keyName)
        : RegistryException(std::move(message)), keyName_(std::move(keyName)) {}
    const std::wstring& keyName() const { return keyName_; }

  private:
    std::wstring keyName_;
};

class StringTableException : public LauncherException {
  public:
    explicit StringTableException(std::wstring message) : message_(std::move(message)) {}
    const std::wstring& message() const { return message_; }

  private:
    std::wstring message_;
};

} // namespace tarrow
