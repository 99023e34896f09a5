#pragma once

#include "editor/ProjectReplace.h"

#include <QDialog>

namespace Ui {
class ReplacePreviewDialog;
}

// Shows what a replacement across the project would change before anything is written: per
// file its count and the changed lines as they read before and after. Accepting it replaces.
class ReplacePreviewDialog : public QDialog
{
    Q_OBJECT

public:
    ReplacePreviewDialog(const ProjectReplace::Plan &plan, QWidget *parent = nullptr);
    ~ReplacePreviewDialog() override;

private:
    Ui::ReplacePreviewDialog *ui;
};
