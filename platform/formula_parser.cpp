// Parses the tokens of a formula into its syntax tree (see formula_ast.h for
// the grammar). Operators of one precedence level that follow one another
// become one Chain node, so a long run such as 1+1+...+1 gives a flat node
// rather than a deep tree; nesting is bounded by kMaxNesting.
#include <cstdio>

#include "formula_ast.h"

namespace plat::formula {

namespace {

using NodePtr = std::unique_ptr<Node>;

enum class Level : BYTE { Logical, Compare, Sum, Product, List };

bool OnLevel(const Token& token, Level level) {
    if (token.kind != TokenKind::Operator) return false;
    switch (level) {
    case Level::Logical: return token.op == Op::And || token.op == Op::Or;
    case Level::Compare:
        return token.op == Op::Equal || token.op == Op::NotEqual || token.op == Op::Less || token.op == Op::Greater ||
               token.op == Op::LessEqual || token.op == Op::GreaterEqual;
    case Level::Sum: return token.op == Op::Add || token.op == Op::Subtract;
    case Level::Product: return token.op == Op::Multiply || token.op == Op::Divide;
    case Level::List: return token.op == Op::List;
    }
    return false;
}

bool IsSign(const Token& token) {
    return token.kind == TokenKind::Operator && !token.permuted && (token.op == Op::Add || token.op == Op::Subtract);
}

// The statement keywords, which cannot name a field or variable.
enum class Reserved : BYTE { None, Rem, Select, Field, Default, Environment };

Reserved ReservedWord(const Token& token) {
    if (token.kind != TokenKind::Name) return Reserved::None;
    std::string name = FoldName(token.text);
    if (name == "rem") return Reserved::Rem;
    if (name == "select") return Reserved::Select;
    if (name == "field") return Reserved::Field;
    if (name == "default") return Reserved::Default;
    if (name == "environment") return Reserved::Environment;
    return Reserved::None;
}

// How a token is named in a message.
std::string Describe(const Token& token) {
    switch (token.kind) {
    case TokenKind::End: return "the end of the formula";
    case TokenKind::Number: return "a number";
    case TokenKind::Text: return "a string";
    case TokenKind::Keyword: return "a keyword";
    case TokenKind::Name: return "'" + token.text + "'";
    case TokenKind::Function: return "'@" + token.text + "'";
    case TokenKind::Operator: return "'" + token.text + "'";
    case TokenKind::Open: return "'('";
    case TokenKind::Close: return "')'";
    case TokenKind::Semicolon: return "';'";
    }
    return "a token";
}

class Parser {
public:
    Parser(const std::vector<Token>& tokens, SyntaxError* error) : tokens_(tokens), error_(error) {}

    bool Run(Formula* formula) {
        formula->statements.clear();
        while (true) {
            while (Peek().kind == TokenKind::Semicolon) ++next_;
            if (Peek().kind == TokenKind::End) return true;
            NodePtr statement = Statement(true);
            if (statement == nullptr) return false;
            formula->statements.push_back(std::move(statement));
            if (Peek().kind != TokenKind::Semicolon && Peek().kind != TokenKind::End) {
                return Fail(Peek().offset, "expected ';' before " + Describe(Peek()));
            }
        }
    }

private:
    // Counts one level of nesting for as long as it lives.
    class Nesting {
    public:
        explicit Nesting(Parser* parser) : parser_(parser) { ++parser_->depth_; }
        ~Nesting() { --parser_->depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        bool TooDeep() const { return parser_->depth_ > kMaxNesting; }

    private:
        Parser* parser_;
    };

    const Token& Peek(size_t ahead = 0) const {
        size_t at = next_ + ahead;
        return at < tokens_.size() ? tokens_[at] : tokens_.back();
    }

    const Token& Take() {
        const Token& token = Peek();
        if (next_ < tokens_.size() - 1) ++next_;
        return token;
    }

    bool Fail(size_t offset, std::string message) {
        error_->offset = offset;
        error_->message = std::move(message);
        return false;
    }

    NodePtr FailNode(size_t offset, std::string message) {
        Fail(offset, std::move(message));
        return nullptr;
    }

    NodePtr TooDeep() {
        return FailNode(Peek().offset, "formula nested more than " + std::to_string(kMaxNesting) + " levels deep");
    }

    static NodePtr Make(NodeKind kind, size_t offset) {
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->offset = offset;
        return node;
    }

    // A statement; REM and SELECT only at the top level.
    NodePtr Statement(bool topLevel) {
        const Token& first = Peek();
        Reserved word = ReservedWord(first);
        if (word == Reserved::Rem || word == Reserved::Select) {
            if (!topLevel) return FailNode(first.offset, Describe(first) + " cannot be used inside an argument list");
            Take();
            if (word == Reserved::Rem) {
                if (Peek().kind != TokenKind::Text) return FailNode(Peek().offset, "REM must be followed by a string");
                NodePtr remark = Make(NodeKind::Remark, first.offset);
                remark->text = Take().text;
                return remark;
            }
            NodePtr select = Make(NodeKind::Select, first.offset);
            NodePtr condition = Expression();
            if (condition == nullptr) return nullptr;
            select->operands.push_back(std::move(condition));
            return select;
        }
        if (word != Reserved::None) {
            Take();
            AssignKind kind = word == Reserved::Field     ? AssignKind::Field
                              : word == Reserved::Default ? AssignKind::Default
                                                          : AssignKind::Environment;
            if (Peek().kind != TokenKind::Name || ReservedWord(Peek()) != Reserved::None) {
                return FailNode(Peek().offset, Describe(first) + " must be followed by a name");
            }
            return Assignment(kind, first.offset);
        }
        if (first.kind == TokenKind::Name && Peek(1).kind == TokenKind::Operator && Peek(1).op == Op::Assign) {
            return Assignment(AssignKind::Variable, first.offset);
        }
        NodePtr expression = Expression();
        if (expression == nullptr) return nullptr;
        if (Peek().kind == TokenKind::Operator && Peek().op == Op::Assign) {
            return FailNode(Peek().offset, "only a name can be assigned with ':='");
        }
        return expression;
    }

    // name := expression, at the name.
    NodePtr Assignment(AssignKind kind, size_t offset) {
        NodePtr assign = Make(NodeKind::Assign, offset);
        assign->assign = kind;
        assign->text = Take().text;
        if (Peek().kind != TokenKind::Operator || Peek().op != Op::Assign) {
            return FailNode(Peek().offset, "expected ':=' before " + Describe(Peek()));
        }
        Take();
        NodePtr value = Expression();
        if (value == nullptr) return nullptr;
        assign->operands.push_back(std::move(value));
        return assign;
    }

    NodePtr Expression() { return Chain(Level::Logical); }

    // One precedence level: operands of the level below joined by this
    // level's operators, left to right.
    NodePtr Chain(Level level) {
        NodePtr first = Below(level);
        if (first == nullptr || !OnLevel(Peek(), level)) return first;
        NodePtr chain = Make(NodeKind::Chain, first->offset);
        chain->operands.push_back(std::move(first));
        while (OnLevel(Peek(), level)) {
            const Token& op = Take();
            chain->ops.push_back(ChainOp{op.op, op.permuted});
            NodePtr operand = Below(level);
            if (operand == nullptr) return nullptr;
            chain->operands.push_back(std::move(operand));
        }
        return chain;
    }

    NodePtr Below(Level level) {
        switch (level) {
        case Level::Logical: return Negation();
        case Level::Compare: return Chain(Level::Sum);
        case Level::Sum: return Chain(Level::Product);
        case Level::Product: return Sign();
        case Level::List: return Element();
        }
        return nullptr;
    }

    NodePtr Prefix(Op op, size_t offset, NodePtr (Parser::*operand)()) {
        Nesting nesting(this);
        if (nesting.TooDeep()) return TooDeep();
        NodePtr prefix = Make(NodeKind::Prefix, offset);
        prefix->op = op;
        NodePtr inner = (this->*operand)();
        if (inner == nullptr) return nullptr;
        prefix->operands.push_back(std::move(inner));
        return prefix;
    }

    // "!" binds more loosely than the comparisons.
    NodePtr Negation() {
        const Token& token = Peek();
        if (token.kind == TokenKind::Operator && token.op == Op::Not) {
            Take();
            return Prefix(Op::Not, token.offset, &Parser::Negation);
        }
        return Chain(Level::Compare);
    }

    // A sign applies to a whole list: -1:2 is -(1:2).
    NodePtr Sign() {
        const Token& token = Peek();
        if (IsSign(token)) {
            Take();
            return Prefix(token.op, token.offset, &Parser::Sign);
        }
        return Chain(Level::List);
    }

    // A list element may carry a sign of its own: 1:-2.
    NodePtr Element() {
        const Token& token = Peek();
        if (IsSign(token)) {
            Take();
            return Prefix(token.op, token.offset, &Parser::Element);
        }
        return Primary();
    }

    NodePtr Primary() {
        const Token& token = Peek();
        switch (token.kind) {
        case TokenKind::Number: {
            NodePtr node = Make(NodeKind::Number, token.offset);
            node->number = Take().number;
            return node;
        }
        case TokenKind::Text:
        case TokenKind::Keyword: {
            NodePtr node = Make(token.kind == TokenKind::Text ? NodeKind::Text : NodeKind::Keyword, token.offset);
            node->text = Take().text;
            return node;
        }
        case TokenKind::Name: {
            if (ReservedWord(token) != Reserved::None) {
                return FailNode(token.offset, Describe(token) + " must begin a statement");
            }
            NodePtr node = Make(NodeKind::Name, token.offset);
            node->text = Take().text;
            return node;
        }
        case TokenKind::Function: return Call();
        case TokenKind::Open: {
            Take();
            Nesting nesting(this);
            if (nesting.TooDeep()) return TooDeep();
            NodePtr inner = Expression();
            if (inner == nullptr) return nullptr;
            if (Peek().kind != TokenKind::Close) {
                return FailNode(Peek().offset, "expected ')' to close the '(' at offset " + std::to_string(token.offset) +
                                                   " before " + Describe(Peek()));
            }
            Take();
            return inner;
        }
        case TokenKind::End: return FailNode(token.offset, "the formula ends where a value is expected");
        default: return FailNode(token.offset, "expected a value before " + Describe(token));
        }
    }

    // @name, or @name(arguments).
    NodePtr Call() {
        const Token& name = Take();
        NodePtr call = Make(NodeKind::Call, name.offset);
        call->text = name.text;
        if (Peek().kind != TokenKind::Open) return call;
        const Token& open = Take();
        Nesting nesting(this);
        if (nesting.TooDeep()) return TooDeep();
        if (Peek().kind == TokenKind::Close) {
            Take();
            return call;
        }
        while (true) {
            NodePtr argument = Statement(false);
            if (argument == nullptr) return nullptr;
            call->operands.push_back(std::move(argument));
            if (Peek().kind == TokenKind::Semicolon) {
                Take();
                continue;
            }
            if (Peek().kind == TokenKind::Close) {
                Take();
                return call;
            }
            return FailNode(Peek().offset, "expected ';' or ')' in the arguments of @" + name.text + " (opened at offset " +
                                               std::to_string(open.offset) + ") before " + Describe(Peek()));
        }
    }

    const std::vector<Token>& tokens_;
    SyntaxError* error_;
    size_t next_ = 0;
    int depth_ = 0;
};

} // namespace

bool Parse(std::string_view source, Formula* formula, SyntaxError* error) {
    std::vector<Token> tokens;
    if (!Tokenize(source, &tokens, error)) return false;
    return Parser(tokens, error).Run(formula);
}

} // namespace plat::formula
