#pragma once

#include <QFrame>

class FlatImageButton;

// The gallery/list toggle, present only when a family supplies a list view.
class ViewSelectionBar : public QFrame {
    Q_OBJECT
public:
    enum View { NoView = 0, GalleryView = 1, ListView = 2 };

    explicit ViewSelectionBar(QWidget* parent);

    int selectedView() const { return selectedView_; }

signals:
    void galleryViewSelected();
    void listViewSelected();

public slots:
    void onListViewSelected();
    void onGalleryViewSelected();

private:
    FlatImageButton* galleryButton_;
    FlatImageButton* listButton_;
    int selectedView_ = NoView;
};
