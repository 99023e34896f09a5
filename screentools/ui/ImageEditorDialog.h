#pragma once

#include <QDialog>

class ColorPickerPanel;
class QAction;
class QMenuBar;

namespace Ui {
class ImageEditorDialog;
}

// Shows a bitmap at one pixel per screen pixel with the colour readout and colour buffers,
// binarises it for image searches and saves it over the file after a one-time backup.
class ImageEditorDialog : public QDialog
{
    Q_OBJECT

public:
    // Menu entries carry these as their action data.
    enum MenuCommand {
        OpenCommand = 1,
        SaveCommand = 2,
        RectScreencapCommand = 3,
        ClearColorsCommand = 10,
        SaveColor1Command = 11, // … SaveColor1Command + 5 for buffer 6
    };

    explicit ImageEditorDialog(QWidget *parent = nullptr);
    ~ImageEditorDialog() override;

    // Loads and shows a file; a file that does not load gives an empty picture. With
    // "保留颜色" ticked the new picture is binarised at once.
    void openImage(const QString &path);
    // Asks for a bitmap and opens it. Reached from the menu: the form has no open button.
    void on_bpOpen_clicked();
    // Where the open dialog starts: the file last chosen there.
    QString openDirectory() const { return lastChosen; }
    void setOpenDirectory(const QString &path) { lastChosen = path; }

    QString imagePath() const { return path; }
    QMenuBar *menus() const { return menuBar; }
    Ui::ImageEditorDialog *form() const { return ui; }
    ColorPickerPanel *colorPanel() const;

signals:
    void signal_rectScreencap();

public slots:
    // The editor has nothing to show of a capture's region.
    void slot_screencap_rect(int x1, int y1, int x2, int y2);
    void slot_mouseMoveInImage(int x, int y);
    void slot_mouseLeaveInImage();
    void slot_menuAction(QAction *action);
    void on_cbSetBinColor_clicked(bool checked);

protected:
    // Escape must not close the editor; the menu shortcuts still work. Keys end a search.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void binarizeImage();
    void saveImage();
    void setFilterFieldsEnabled(bool enabled);

    QString path;
    QString lastChosen;
    QMenuBar *menuBar = nullptr;
    Ui::ImageEditorDialog *ui;
};
