#include "platform.h"

#include "clipboardwatcher.h"

Platform *createSystemPlatform();

namespace {
Platform *installedPlatform = nullptr;
}

Platform::~Platform() = default;

Platform *Platform::instance()
{
    if (!installedPlatform) {
        // The system's own platform lives until the process ends.
        static Platform *systemPlatform = createSystemPlatform();
        return systemPlatform;
    }
    return installedPlatform;
}

void Platform::setInstance(Platform *platform)
{
    installedPlatform = platform;
}

QString Platform::sessionProblem() const
{
    return QString();
}

void Platform::removeKeyboardHook(HookHandle)
{ }

ClipboardWatcher *Platform::createClipboardWatcher(QObject *parent)
{
    return new QtClipboardWatcher(parent);
}

void Platform::flushWindowRequests()
{ }
