#pragma once
// The window started on the simulated chip with the device found, for the ISP page's
// tests: program files to choose, the labels to read, the requests that reached the chip.

#include <QCoreApplication>
#include <QKeyEvent>
#include <algorithm>
#include <fstream>
#include <vector>

#include "WindowFixture.h"

class IspPageFixture : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        StartWindow();
        Tick();  // the first search finds the normal device
        ASSERT_TRUE(gDevice.IsFound());
        sim->ClearLog();
        // Time passes on the bus as with a real device, so that the labels, which are
        // updated a limited number of times a second of the clock, show each step.
        sim->SetRequestLatencyMicros(125);
    }

    std::string WriteImage(const char* name, const std::vector<uint8_t>& bytes) const {
        const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    static std::vector<uint8_t> Pattern(size_t size) {
        std::vector<uint8_t> v(size);
        uint32_t seed = 3;
        for (auto& b : v) b = uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
        return v;
    }
    void ChooseFile(const std::string& path) {
        services.openAnswers.push_back(path);
        form->ui.USBLoadFileBitBtn->click();
    }
    std::string Info() const { return form->ui.lblUSBProcessInfo->text().toStdString(); }
    size_t Probes() const {
        return size_t(std::count_if(sim->Log().begin(), sim->Log().end(), [](const SimRequest& r) {
            return r.supportQuery || r.setup.bRequest == 6;
        }));
    }
    size_t Count(uint8_t bRequest) const { return Requests(bRequest).size(); }
    void PressKey(QLineEdit* edit, Qt::Key key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &press);
    }
    bool FlashHolds(const std::vector<uint8_t>& image) const {
        return std::equal(image.begin(), image.end(), sim->Flash().Contents().begin());
    }
};
