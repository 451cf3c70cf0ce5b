#pragma once

namespace parlune {

// Whether this process may watch the keyboard system-wide and read and drive other applications.
class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;
    // The current answer. With `prompt`, the platform is also asked to grant the trust (it may show
    // the user a prompt); the call does not wait for the user's answer.
    virtual bool isProcessTrusted(bool prompt) = 0;
};

}  // namespace parlune
