// EXPECT_THROW_MSG(statement, exception, message): the statement throws the
// exception, and its what() is the message.
#pragma once

#include <gtest/gtest.h>

#include <string>

#define EXPECT_THROW_MSG(statement, exception, message)                              \
    do {                                                                             \
        try {                                                                        \
            statement;                                                               \
            ADD_FAILURE() << #statement " throws nothing";                           \
        } catch (const exception& thrown_) {                                         \
            EXPECT_EQ(std::string(thrown_.what()), std::string(message)) << #statement; \
        }                                                                            \
    } while (0)
