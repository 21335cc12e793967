// The bounded PCM queue between the decoding thread and the sound output.
#include "audio/AudioBuffer.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

TEST(PcmQueueTest, CarriesEveryByteInOrderThroughASmallQueue)
{
    // 100 000 bytes through 97 bytes of room, written and read in pieces of unrelated sizes,
    // so the ring wraps at every possible offset.
    constexpr size_t kTotal = 100000;
    PcmQueue queue(97);
    std::thread producer([&queue] {
        std::vector<uint8_t> piece;
        size_t next = 0;
        size_t size = 1;
        while (next < kTotal) {
            piece.clear();
            for (size_t i = 0; i < size && next < kTotal; ++i, ++next)
                piece.push_back(uint8_t(next * 7 + next / 256));
            ASSERT_TRUE(queue.Push(piece.data(), piece.size()));
            size = size % 150 + 13;
        }
        queue.Finish();
    });

    std::vector<uint8_t> received;
    uint8_t chunk[61];
    size_t ask = 1;
    while (!queue.Drained()) {
        const size_t got = queue.Pop(chunk, ask);
        ASSERT_LE(got, ask);
        received.insert(received.end(), chunk, chunk + got);
        ask = ask % 61 + 1;
        if (got == 0)
            std::this_thread::yield();
    }
    producer.join();
    ASSERT_EQ(received.size(), kTotal);
    for (size_t i = 0; i < kTotal; ++i)
        ASSERT_EQ(received[i], uint8_t(i * 7 + i / 256)) << "at byte " << i;
    EXPECT_TRUE(queue.Finished());
}

TEST(PcmQueueTest, AFullQueueHoldsTheProducerUntilCancelled)
{
    PcmQueue queue(16);
    const std::vector<uint8_t> bytes(40, 0x5a);
    std::atomic<int> result{-1};
    std::thread producer([&] { result = queue.Push(bytes.data(), bytes.size()) ? 1 : 0; });
    // The producer fills the 16 bytes and then waits for room that never comes.
    while (queue.Available() < 16)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(result.load(), -1);
    EXPECT_EQ(queue.Available(), 16u);
    queue.Cancel();
    producer.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(queue.Push(bytes.data(), 1));
    EXPECT_FALSE(queue.Drained());
}

TEST(PcmQueueTest, AnEmptyReadIsAnsweredWhenBytesOrTheEndArrive)
{
    PcmQueue queue(64);
    int calls = 0;
    queue.SetStarvedCallback([&calls] { ++calls; });
    const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};

    // Bytes that arrive while nobody has found the queue empty need no call.
    ASSERT_TRUE(queue.Push(bytes, 4));
    EXPECT_EQ(calls, 0);
    uint8_t out[16];
    EXPECT_EQ(queue.Pop(out, 16), 4u);  // asked for more than there was: the queue ran dry
    EXPECT_FALSE(queue.Drained());
    ASSERT_TRUE(queue.Push(bytes, 8));
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(queue.Push(bytes, 8));
    EXPECT_EQ(calls, 1);

    // A read that takes exactly what is there does not count as running dry.
    EXPECT_EQ(queue.Pop(out, 16), 16u);
    ASSERT_TRUE(queue.Push(bytes, 2));
    EXPECT_EQ(calls, 1);

    EXPECT_EQ(queue.Pop(nullptr, 16), 2u);  // a null target drops the bytes
    queue.Finish();
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(queue.Drained());
}

}  // namespace
