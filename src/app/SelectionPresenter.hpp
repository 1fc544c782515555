#pragma once
// Shows the country selection dialog; each front end presents it its own way.

#include "app/SelectionDBViewController.hpp"

#include <memory>

// The window shows a modal dialog, the command line answers from its options, tests answer from
// a script. Runs on the UI thread.
class SelectionPresenter {
public:
    SelectionPresenter() = default;
    SelectionPresenter(const SelectionPresenter&) = delete;
    SelectionPresenter& operator=(const SelectionPresenter&) = delete;
    SelectionPresenter(SelectionPresenter&&) = delete;
    SelectionPresenter& operator=(SelectionPresenter&&) = delete;
    virtual ~SelectionPresenter() = default;

    // `dialog` has its data and delegate set and viewDidLoad has run. The presenter drives the
    // user's clicks into it; the dialog answers its delegate when the user confirms. Returning
    // without an answer (the user closed the dialog) leaves the download button enabled. The
    // presenter may return before the user answers (a non-blocking window) or after.
    virtual void present(std::shared_ptr<SelectionDBViewController> dialog) = 0;
};
