// The library's widgets for the benchmarks that need Qt: a window with the controller's views,
// loaded from a generated images.idx of 50 000 entries.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include "library/CheckListView.h"

#include "BenchData.h"
#include "library/IndexFile.h"
#include "library/LibraryController.h"
#include "library/PathText.h"
#include "support/errors/Errors.h"

namespace tavrino::bench {

// Writes the file line by line so that generating it leaves no big allocations behind.
inline void WriteGeneratedIndex(const std::filesystem::path& folder, std::size_t count) {
    std::ofstream out(folder / library::kIndexFileName, std::ios::binary);
    for (std::size_t i = 0; i < count; i += 1000) {
        for (const std::string& path :
             MakePaths(1000, static_cast<std::uint32_t>(i + 7), std::to_string(i).c_str())) {
            out << path << (i % 3 == 0 ? "|True" : "|False") << "\r\n";
        }
    }
}

class NullReporter final : public ErrorReporter {
public:
    void ShowErrorReport(int, std::int32_t, const std::string& description) override {
        failures += description + "\n";
    }
    std::string failures;
};

class LibraryWindow {
public:
    explicit LibraryWindow(const std::filesystem::path& dataFolder) {
        auto* layout = new QHBoxLayout(&window_);
        auto add = [layout](auto* widget) {
            layout->addWidget(widget);
            return widget;
        };
        widgets_.drvDisplayFiles = add(new QComboBox);
        widgets_.dirDisplayFiles = add(new QTreeView);
        widgets_.lstDirFiles = add(new library::CheckListView);
        widgets_.lstDisplayFiles = add(new library::CheckListView);
        widgets_.lstPreview = add(new library::CheckListView);
        widgets_.cmdSelectDirFiles = add(new QPushButton);
        widgets_.cmdDeselectDirFiles = add(new QPushButton);
        widgets_.cmdAddDirFiles = add(new QPushButton);
        widgets_.cmdSelectDisplayFiles = add(new QPushButton);
        widgets_.cmdDeselectDisplayFiles = add(new QPushButton);
        widgets_.cmdRemoveDisplayFiles = add(new QPushButton);
        window_.resize(1200, 300);
        controller_ = std::make_unique<library::LibraryController>(
            widgets_, reporter_, library::PathToDisplay(library::FromFsPath(dataFolder)));
        window_.show();
        QApplication::processEvents();
    }

    library::LibraryController& Controller() { return *controller_; }
    library::LibraryWidgets& Widgets() { return widgets_; }
    NullReporter& Reporter() { return reporter_; }

private:
    QWidget window_;
    library::LibraryWidgets widgets_;
    NullReporter reporter_;
    std::unique_ptr<library::LibraryController> controller_;
};

inline int RunWithApplication(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace tavrino::bench
