// One master adapter (device type + device index) and its masters, one per CAN channel.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

class CServerDev;

class MasterCard {
public:
    MasterCard(uint32_t deviceType, uint32_t deviceIndex);
    ~MasterCard();
    MasterCard(const MasterCard&) = delete;
    MasterCard& operator=(const MasterCard&) = delete;

    // Opens the adapter on its first use (VARDA_Open) and counts every use. Returns 0, or the
    // result of a failed VARDA_Open (reported; the use is then not counted).
    uint32_t Open();
    // Gives back one use; the last one closes the adapter (VARDA_Close).
    void Close();
    // Closes an opened adapter and opens it again, keeping its uses (VARDA_Close, VARDA_Open):
    // the handle of an adapter that was unplugged stays broken, and the adapter plugged in again
    // is reached only through a new open. Returns the result of VARDA_Open (reported; the
    // adapter then counts as closed with no uses), or 46 when the adapter was not opened.
    uint32_t Reopen();

    uint32_t DeviceType() const { return deviceType_; }
    uint32_t DeviceIndex() const { return deviceIndex_; }
    uint32_t ChannelCount() const { return channelCount_; }
    bool IsOpened() const;
    uint32_t OpenCount() const;

    // The master of a channel, created (and opening the card once) when there is none.
    CServerDev* GetOrCreateMaster(uint32_t channel);
    CServerDev* FindMaster(uint32_t channel) const;
    // Moves a master of this card to another channel key. Refused (false) when another master
    // holds that channel, so that no master is lost.
    bool MoveMaster(CServerDev* master, uint32_t channel);
    // Removes and deletes the master of a channel (it stops and gives back its card use).
    void RemoveMaster(uint32_t channel);
    // Takes a master out of the card without deleting it, or puts one in (false when the channel
    // is taken). Used to move a master between cards.
    std::unique_ptr<CServerDev> TakeMaster(uint32_t channel);
    bool InsertMaster(std::unique_ptr<CServerDev> master, uint32_t channel);
    bool IsEmpty() const { return masters_.empty(); }
    const std::map<uint32_t, std::unique_ptr<CServerDev>>& Masters() const { return masters_; }

    // Takes a new device type and index. An opened adapter is closed under the old key and
    // opened under the new one; its use count is kept.
    void Rekey(uint32_t deviceType, uint32_t deviceIndex);

private:
    mutable std::mutex lock_;  // opened_ and openCount_
    uint32_t opened_ = 0;
    uint32_t openCount_ = 0;
    uint32_t deviceType_;
    uint32_t deviceIndex_;
    uint32_t channelCount_;
    std::map<uint32_t, std::unique_ptr<CServerDev>> masters_;
};
