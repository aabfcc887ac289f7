#pragma once
// Pictures of the data folder, and freeing what a module owns.
class KGraphic;

KGraphic *loadPictureFile(const char *file);         // a new picture of the data folder ("data\\page1.jpg")
KGraphic *loadSkinPicture(const char *nameFormat);   // the same for the skin in play; nameFormat holds its "%d"
void loadInto(KGraphic *picture, const char *file);  // a data folder file into an existing picture

// Deletes the object and clears the pointer to it.
template <class T>
void destroy(T *&object) {
    delete object;
    object = nullptr;
}
