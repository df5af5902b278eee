#pragma once
// How the property tree gets a description it lacks: the download dialog, wherever the program
// has it. Programs that link the dialog in (vantdownloadlinked: the tests, the tools) have it
// from the start. The window leaves it out and loads it from its download module the first
// time a description is missing, so that starting the window maps no network library.
#include <QString>

#include <functional>

class QWidget;

// Fetches the description of `id` into confxml/ while showing its progress over `parent`;
// true when the description arrived whole.
using DescriptionDownload = std::function<bool(const QString &id, QWidget *parent)>;

// Set once at start, before any tree asks.
void setDescriptionDownload(DescriptionDownload download);
// The download set, run once; false, with an error on the diagnostics channel, when the
// program has none.
bool downloadDescription(const QString &id, QWidget *parent);

// What the download module gives the program that loads it (app/modules.h): built for this
// program when its abi is DownloadModuleAbi and its diagChannel is the program's diagReport,
// that is when the module's diagnostics reach the program's handlers and collectors.
struct DownloadModule {
    int abi;
    const void *diagChannel;
    // The dialog, as setDescriptionDownload takes it.
    bool (*download)(const QString &id, QWidget *parent);
};
// Raised whenever DownloadModule or what the module reaches in the program changes.
inline constexpr int DownloadModuleAbi = 1;
// The module's entry point: extern "C" const DownloadModule *vant_conf_download_module().
inline constexpr char DownloadModuleEntry[] = "vant_conf_download_module";
