// CSearchDlg: dialog 20028 "搜索从站". Searches the selected master's bus for slaves that are not
// configured yet (the core's NetworkSearch on its worker thread), lists them with their EDS names
// and, on "添加已搜索从站", adds them to the master. The worker's progress comes back as queued
// calls; the dialog never closes or starts a new search while the worker runs.
#pragma once

#include <cstdint>
#include <vector>

#include "network/network_search.h"
#include "ui/widgets/template_dialog.h"
#include "ui/widgets/ui_poster.h"
#include "resources/resource_ids.h"

class CServerDev;
class QProgressBar;
class QTreeWidget;

class CSearchDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr uint32_t kTemplateId = resource_ids::kSearchDialog;
    static constexpr int kEditTimeout = 3332;
    static constexpr int kComboDefaultEds = 3333;
    static constexpr int kListResults = 3334;
    static constexpr int kStaticStatus = 3335;
    static constexpr int kComboStartAddress = 17007;
    static constexpr int kProgress = 17031;
    static constexpr int kButtonStart = 1;
    static constexpr int kButtonClose = 2;
    static constexpr int kButtonClear = 3392;
    static constexpr int kButtonStop = 3394;
    static constexpr int kButtonAdd = 3395;

    // Searches `master` (not owned; must not be running and must outlive the dialog).
    explicit CSearchDlg(CServerDev* master, QWidget* parent = nullptr);
    ~CSearchDlg() override;

    // True after "添加已搜索从站": the master's tree node needs rebuilding.
    bool SlavesAdded() const { return added_; }
    // The slaves found and still listed.
    const std::vector<SearchResult>& Results() const { return results_; }
    bool Searching() const { return search_.Running(); }
    // The longest wait before the first request (tests shorten it).
    void SetPauseMs(uint32_t pauseMs) { pauseMs_ = pauseMs; }

    // Stops a running search and waits for it (at most 20 s) before closing.
    void reject() override;

private:
    void StartSearch();
    void StopSearch();
    void ClearResults();
    void AddSlaves();
    void OnStarted(std::size_t count);
    void OnProbing(std::size_t index, std::size_t count);
    void OnFound(const SearchResult& result);
    void OnFinished(SearchEnd end);
    void SetStatus(const QString& text);
    void SetIdleButtons(bool idle);
    void SetUpResultList();
    void ApplyTexts();

    CServerDev* master_;
    UiPoster poster_{this};  // before the search: its worker is joined while the poster stands
    NetworkSearch search_;
    std::vector<SearchResult> results_;
    bool added_ = false;
    bool closing_ = false;
    uint32_t pauseMs_ = kSearchPauseMs;
    QTreeWidget* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
};
